#!/usr/bin/env bash
# Read-path throughput: `tessaro-cli info` next to expat with empty handlers (the
# floor of any expat-based reader) on generated documents of about 100 MB and 500 MB,
# each as XGL and as ZGL made from the same world. Every figure is the median of
# RUNS runs made in this invocation; the programs' runs alternate so that all of
# them see the same machine.
#
# Usage: scripts/bench_info.sh [--before REV] [SIZE_MB...]     (default sizes: 100 500)
#   --before REV  also times the tessaro-cli of git revision REV (built from a copy
#                 in the scratch folder) and prints its MB/s and ratio beside today's.
# Environment: BUILD_DIR (default build-bench, in the repository), SCRATCH (default
# /tmp/tessaro-bench, where documents and copies are kept between runs), RUNS (default 3).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
scratch="${SCRATCH:-/tmp/tessaro-bench}"
runs="${RUNS:-3}"
before_rev=""
sizes=()
while [ $# -gt 0 ]; do
    case "$1" in
        --before) before_rev="$2"; shift 2 ;;
        *) sizes+=("$1"); shift ;;
    esac
done
[ ${#sizes[@]} -gt 0 ] || sizes=(100 500)

# Goals the figures are reported against.
goal_ratio=0.6
goal_peak_mb=300
goal_peak_doc_mb=500

configure_and_build() {  # SOURCE BUILD TARGET...
    local src="$1" dir="$2"
    shift 2
    echo "building $* in $dir" >&2
    cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$dir" -j "$(nproc)" --target "$@" >/dev/null
}

configure_and_build "$root" "$build" tessaro-cli xglgen expat_floor
cli="$build/viewer/cli/tessaro-cli"
gen="$build/bench/xglgen"
floor="$build/bench/expat_floor"

mkdir -p "$scratch"
before_cli=""
if [ -n "$before_rev" ]; then
    commit="$(git -C "$root" rev-parse --short "$before_rev^{commit}")"
    copy="$scratch/src-$commit"
    if [ ! -d "$copy" ]; then
        mkdir -p "$copy"
        git -C "$root" archive "$commit" | tar -x -C "$copy"
    fi
    configure_and_build "$copy" "$copy/build" tessaro-cli
    before_cli="$copy/build/viewer/cli/tessaro-cli"
fi

# Documents are made again when missing or older than the generator.
documents=()
for mb in "${sizes[@]}"; do
    for ext in xgl zgl; do
        f="$scratch/world-${mb}mb.$ext"
        if [ ! -s "$f" ] || [ "$gen" -nt "$f" ]; then
            echo "generating $f" >&2
            "$gen" "$f" --size $((mb * 1048576)) --seed 1
        fi
        documents+=("$f")
    done
done

# Reads the number after "key": in a one-line JSON object.
json_number() {
    sed -n "s/.*\"$1\": *\([0-9.eE+-]*\).*/\1/p" <<<"$2"
}

median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# One `tessaro-cli info` run; prints "seconds peak_bytes". A document that loads with
# a message is not a throughput figure, so the script stops.
info_run() {  # CLI FILE
    local out
    out="$("$1" info "$2" --json)"
    if ! grep -q '"message": null' <<<"$out"; then
        echo "$1 reported a message for $2: $out" >&2
        exit 1
    fi
    echo "$(json_number seconds "$out") $(json_number peak_rss_bytes "$out")"
}

header=(document "file MB" "XML MB" "floor MB/s" "info MB/s" ratio "peak MB")
[ -z "$before_cli" ] || header+=("before MB/s" "before ratio")
row_format='%-20s %8s %8s %11s %10s %6s %8s'
[ -z "$before_cli" ] || row_format+=' %12s %13s'
# shellcheck disable=SC2059
printf "$row_format\n" "${header[@]}"

verdicts=()
for f in "${documents[@]}"; do
    cat "$f" >/dev/null  # into the page cache, so that no run waits for the disk
    floor_s=() info_s=() peak=() before_s=()
    xml_bytes=0
    for ((i = 0; i < runs; ++i)); do
        out="$("$floor" "$f")"
        floor_s+=("$(json_number seconds "$out")")
        xml_bytes="$(json_number xml_bytes "$out")"
        result="$(info_run "$cli" "$f")"
        read -r s p <<<"$result"
        info_s+=("$s")
        peak+=("$p")
        if [ -n "$before_cli" ]; then
            result="$(info_run "$before_cli" "$f")"
            read -r s p <<<"$result"
            before_s+=("$s")
        fi
    done
    fs="$(median "${floor_s[@]}")"
    is="$(median "${info_s[@]}")"
    pk="$(median "${peak[@]}")"
    bs="$([ -z "$before_cli" ] || median "${before_s[@]}")"
    read -r -a row < <(awk -v fb="$(stat -c %s "$f")" -v xb="$xml_bytes" -v fs="$fs" -v is="$is" \
        -v pk="$pk" -v bs="${bs:-0}" \
        'BEGIN { m = 1048576
                 printf "%.1f %.1f %.1f %.1f %.2f %.1f", fb / m, xb / m, xb / m / fs, xb / m / is,
                        fs / is, pk / m
                 if (bs > 0) printf " %.1f %.2f", xb / m / bs, fs / bs
                 print "" }')
    name="$(basename "$f")"
    # shellcheck disable=SC2059
    printf "$row_format\n" "$name" "${row[@]}"
    ratio="${row[4]}"
    peak_mb="${row[5]}"
    if awk -v r="$ratio" -v g="$goal_ratio" 'BEGIN { exit !(r >= g) }'; then
        verdicts+=("$name: ratio $ratio meets the goal of at least $goal_ratio")
    else
        verdicts+=("$name: ratio $ratio is BELOW the goal of $goal_ratio")
    fi
    if [[ "$name" == *"-${goal_peak_doc_mb}mb."* ]]; then
        if awk -v p="$peak_mb" -v g="$goal_peak_mb" 'BEGIN { exit !(p < g) }'; then
            verdicts+=("$name: peak $peak_mb MB meets the goal of under $goal_peak_mb MB")
        else
            verdicts+=("$name: peak $peak_mb MB is ABOVE the goal of $goal_peak_mb MB")
        fi
    fi
done
echo
echo "MB = 2^20 bytes. MB/s counts the uncompressed XML (a ZGL's floor includes inflate);"
echo "ratio = floor seconds / info seconds; peak = tessaro-cli's peak resident memory."
echo "Each figure is the median of $runs runs of this invocation${before_rev:+; before = $before_rev}."
printf '%s\n' "${verdicts[@]}"
