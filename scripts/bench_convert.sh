#!/usr/bin/env bash
# Conversion speed and memory: `tessaro-cli convert` of the single meshes without
# normals (the documents of scripts/bench_info.sh: a CAD part whose tables spill and
# whose normals are generated) to .glb, next to expat with empty handlers over the same
# file (the floor of any expat-based reader) and to Assimp's `assimp export FILE
# OUT.gltf` (the peer). Every figure is the median of RUNS runs in this invocation; the
# programs take turns in an order that rotates from run to run.
#
# Usage: scripts/bench_convert.sh [SIZE_MB...]   (default: 100)
# Environment: BUILD_DIR (default build-bench), SCRATCH (default /tmp/tessaro-bench),
# RUNS (default 3), NO_PEER=1 leaves Assimp out.
#
# All three are timed as whole processes (start to exit) with their peak resident
# memory, so the ratio to the floor includes reading, normal generation, welding and
# writing the whole .glb. Wall-clock figures and, steadier on a machine shared with
# other work, user + system CPU figures are both printed.
set -euo pipefail
shopt -s inherit_errexit
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench_common.sh
source "$root/scripts/bench_common.sh"
build="${BUILD_DIR:-$root/build-bench}"
scratch="${SCRATCH:-/tmp/tessaro-bench}"
runs="${RUNS:-3}"
with_peer=$([ "${NO_PEER:-0}" = 1 ] && echo 0 || echo 1)
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100)
goal_ratio=0.3
goal_peer_speed=3

install_bench_tools "$with_peer"

echo "building tessaro-cli xglgen expat_floor in $build" >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target tessaro-cli xglgen expat_floor >/dev/null
cli="$build/viewer/cli/tessaro-cli"
gen="$build/bench/xglgen"
floor="$build/bench/expat_floor"

mkdir -p "$scratch"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT


measure() {  # PROGRAM FILE
    case "$1" in
        floor) timed "$floor" "$2" ;;
        convert) timed "$cli" convert "$2" -o "$work/out.glb" ;;
        peer) timed assimp export "$2" "$work/peer.gltf" ;;
    esac
}

programs=(floor convert)
[ $with_peer = 0 ] || programs+=(peer)
format='%-16s %7s %8s %9s %7s %9s %8s %8s %8s %7s %9s %8s\n'
# shellcheck disable=SC2059
printf "$format" document "XML MB" "floor s" "convert s" ratio "cpu ratio" "peak MB" "glb MB" \
    "peer s" "speed x" "cpu speed" "peer MB"
verdicts=()
for mb in "${sizes[@]}"; do
    # The grid of bench_info.sh: a square of side n is about (n / 58.4)^2 MB.
    f="$scratch/mesh-${mb}mb.xgl"
    if [ ! -s "$f" ] || [ "$gen" -nt "$f" ]; then
        echo "generating $f" >&2
        "$gen" "$f" --size 1 --grid "$(awk -v m="$mb" 'BEGIN { printf "%d", 58.4 * sqrt(m) }')" \
            --normals 0 --seed 1
    fi
    cat "$f" >/dev/null  # into the page cache
    declare -A seconds=() cpu=() peaks=()
    for ((i = 0; i < runs; ++i)); do
        for ((k = 0; k < ${#programs[@]}; ++k)); do
            p="${programs[$(((i + k) % ${#programs[@]}))]}"
            read -r s c kb < <(measure "$p" "$f")
            seconds[$p]+="$s "
            cpu[$p]+="$c "
            peaks[$p]+="$kb "
        done
    done
    glb_bytes="$(stat -c %s "$work/out.glb")"
    # shellcheck disable=SC2086
    read -r -a row < <(awk -v xb="$(stat -c %s "$f")" -v fs="$(median ${seconds[floor]})" \
        -v cs="$(median ${seconds[convert]})" -v ck="$(median ${peaks[convert]})" \
        -v fc="$(median ${cpu[floor]})" -v cc="$(median ${cpu[convert]})" \
        -v gb="$glb_bytes" -v ps="$([ $with_peer = 0 ] || median ${seconds[peer]})" \
        -v pc="$([ $with_peer = 0 ] || median ${cpu[peer]})" \
        -v pk="$([ $with_peer = 0 ] || median ${peaks[peer]})" \
        'BEGIN { m = 1048576
                 printf "%.1f %.2f %.2f %.2f %.2f %.1f %.1f", xb / m, fs, cs, fs / cs, fc / cc,
                        ck / 1024, gb / m
                 if (ps > 0) printf " %.2f %.2f %.2f %.1f", ps, ps / cs, pc / cc, pk / 1024
                 else printf " - - - -"
                 print "" }')
    unset seconds cpu peaks
    # shellcheck disable=SC2059
    printf "$format" "$(basename "$f")" "${row[@]}"
    if awk -v r="${row[3]}" -v g="$goal_ratio" 'BEGIN { exit !(r >= g) }'; then
        verdicts+=("$(basename "$f"): ratio ${row[3]} meets the goal of at least $goal_ratio")
    else
        verdicts+=("$(basename "$f"): ratio ${row[3]} is BELOW the goal of $goal_ratio")
    fi
    if [ $with_peer = 1 ]; then
        if awk -v r="${row[8]}" -v g="$goal_peer_speed" 'BEGIN { exit !(r >= g) }'; then
            verdicts+=("$(basename "$f"): ${row[8]} times the peer meets the goal of $goal_peer_speed")
        else
            verdicts+=("$(basename "$f"): ${row[8]} times the peer is BELOW the goal of $goal_peer_speed")
        fi
    fi
done
echo
echo "MB = 2^20 bytes. floor s, convert s, peer s: elapsed seconds of the whole expat_floor,"
echo "tessaro-cli convert (to .glb) and assimp export (to .gltf) processes, medians of $runs runs;"
echo "ratio = floor s / convert s; speed x = peer s / convert s; cpu ratio and cpu speed: the"
echo "same from user + system seconds; peak = peak resident memory of tessaro-cli convert."
printf '%s\n' "${verdicts[@]}"
