#!/usr/bin/env bash
# Fuzzes a reader with libFuzzer: the XGL read path (fuzz/read_path_fuzzer.cpp, corpus
# in tests/data/fuzz-corpus/) or, with --dwf, the DWF reader and painter, a quarter of
# the time each with four targets: whole files and bare streams
# (fuzz/dwf_stream_fuzzer.cpp, corpus in tests/data/dwf-fuzz-corpus/), the package's
# manifest, descriptor and streams behind true checksums (fuzz/dwf_package_fuzzer.cpp,
# corpus in tests/data/dwf-package-fuzz-corpus/), and Plotwick's painter drawing what
# the reader makes of the input at a zoom and pan the input picks
# (fuzz/dwf_painter_fuzzer.cpp, corpus in tests/data/dwf-painter-fuzz-corpus/, seeded
# with the stream fuzzer's), and the 3D stream reader with its scene evaluation
# (fuzz/w3d_stream_fuzzer.cpp, corpus in tests/data/w3d-fuzz-corpus/); --painter runs
# the painter alone and --target NAME any one of these targets by its name.
#   scripts/fuzz.sh [--dwf|--painter|--target NAME] [SECONDS]
#                                               long run (default 600 s); afterwards the
#                                               new inputs that reach new code are merged
#                                               into the corpus folder (files up to
#                                               20000 bytes)
#   scripts/fuzz.sh --smoke [--dwf] [SECONDS]   short run (default 60 s) that leaves the
#                                               corpus as it is; for scripts/test.sh
# Any crash, sanitizer report, leak, hang (5 s), single allocation above 512 MB or
# memory blow-up (1 GiB, the painter 2 GiB) stops the run with a non-zero exit: the
# readers bound their work and memory by the input, so a small input that takes more is
# a finding. The input that caused it is kept in build-fuzz/findings/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

smoke=0
if [ "${1:-}" = "--smoke" ]; then
    smoke=1
    shift
fi
targets=(read_path_fuzzer)
if [ "${1:-}" = "--dwf" ]; then
    targets=(dwf_stream_fuzzer dwf_package_fuzzer dwf_painter_fuzzer w3d_stream_fuzzer)
    shift
elif [ "${1:-}" = "--painter" ]; then
    targets=(dwf_painter_fuzzer)
    shift
elif [ "${1:-}" = "--target" ]; then
    case "${2:-}" in
        read_path_fuzzer | dwf_stream_fuzzer | dwf_package_fuzzer | dwf_painter_fuzzer | w3d_stream_fuzzer) ;;
        *) echo "fuzz.sh: unknown target '${2:-}'" >&2; exit 2 ;;
    esac
    targets=("$2")
    shift 2
fi
seconds="${1:-$([ $smoke = 1 ] && echo 60 || echo 600)}"

bash scripts/setup.sh
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTESSARO_FUZZ=ON -DTESSARO_CORE_ONLY=ON -DTESSARO_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "$(nproc)"

findings="$build/findings"
scratch="$build/fuzz-tmp"
mkdir -p "$findings" "$scratch"
# Loads through a real file write it to TMPDIR; keep that inside the build folder.
export TMPDIR="$scratch"
# Freed memory stays with the allocator: handing it back to the system (madvise) stalled
# for seconds on a loaded machine and was taken for a hang of the reader.
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:allocator_release_to_os_interval_ms=-1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp"

# fuzz TARGET CORPUS DICT SECONDS
fuzz() {
    local target="$1" corpus="$2" dict="$3" time="$4"
    local work="$build/fuzz-work-$target"
    mkdir -p "$work"
    [ $smoke = 1 ] && rm -rf "${work:?}"/*
    # Freed memory stays with the allocator (above), so the process keeps the high-water
    # mark of every block size any input asked for. The painter's inputs draw through Qt
    # as well: their sum passed 1 GiB after 10,000 inputs, though the heaviest of them
    # takes 75 MB in the release program. It gets twice the room.
    local rss=1024
    [ "$target" = dwf_painter_fuzzer ] && rss=2048
    local fuzzer=("$build/fuzz/$target" -dict="$dict" -max_len=20000 -timeout=5
        -malloc_limit_mb=512 -rss_limit_mb=$rss -artifact_prefix="$findings/"
        -print_final_stats=1)
    echo "Fuzzing $target for $time s"
    # New inputs go to the work folder; the checked-in corpus is only read.
    local status=0
    "${fuzzer[@]}" -max_total_time="$time" "$work" "$corpus" || status=$?
    # Merged after a finding too, so that the rest of a long run is not lost.
    if [ $smoke = 0 ]; then
        local before
        before=$(ls "$corpus" | wc -l)
        # Only inputs that reach new edges are kept (not new hit counts), so the corpus
        # stays at a few hundred small files.
        "${fuzzer[@]}" -merge=1 -use_counters=0 "$corpus" "$work" 2>/dev/null
        echo "Corpus: $before -> $(ls "$corpus" | wc -l) inputs in $corpus"
    fi
    return $status
}

share=$((seconds / ${#targets[@]}))
for target in "${targets[@]}"; do
    case "$target" in
        read_path_fuzzer) fuzz "$target" "$root/tests/data/fuzz-corpus" "$root/fuzz/xgl.dict" "$share" ;;
        dwf_stream_fuzzer) fuzz "$target" "$root/tests/data/dwf-fuzz-corpus" "$root/fuzz/w2d.dict" "$share" ;;
        dwf_package_fuzzer)
            fuzz "$target" "$root/tests/data/dwf-package-fuzz-corpus" "$root/fuzz/w2d.dict" "$share" ;;
        dwf_painter_fuzzer)
            fuzz "$target" "$root/tests/data/dwf-painter-fuzz-corpus" "$root/fuzz/w2d.dict" "$share" ;;
        w3d_stream_fuzzer) fuzz "$target" "$root/tests/data/w3d-fuzz-corpus" "$root/fuzz/w3d.dict" "$share" ;;
    esac
done
