#!/usr/bin/env bash
# Read-path throughput: `tessaro-cli info` next to expat with empty handlers (the
# floor of any expat-based reader) and next to a peer reader, Assimp's `assimp info`
# (Debian's assimp-utils, which reads XGL and ZGL too), on generated documents of
# about 10, 100 and 500 MB of many small meshes, and on single meshes of about 100 and
# 500 MB without normals (a CAD part: its tables spill to temporary files and its
# normals are generated), each as XGL and as ZGL made from the same world. Every
# figure is the median of RUNS runs made in this invocation; the programs take turns,
# in an order that rotates from run to run, so that all of them see the same machine.
#
# Usage: scripts/bench_info.sh [--before REV] [--no-peer] [--mesh SIZE_MB,...] [SIZE_MB...|none]
#                                  (default sizes: 10 100 500; single meshes: 100,500)
#   --before REV  also times the tessaro-cli of git revision REV (built from a copy
#                 in the scratch folder) and prints its figures beside today's.
#   --no-peer     leaves Assimp out (otherwise it is installed when missing).
#   --mesh LIST   sizes of the single-mesh documents, comma-separated; "none" for none.
# The first single mesh is also drawn with `tessaro-cli render`, timed against `info`.
# Environment: BUILD_DIR (default build-bench, in the repository), SCRATCH (default
# /tmp/tessaro-bench, where documents and copies are kept between runs), RUNS (default 3).
#
# MB/s and ratio come from the wall-clock seconds that the programs measure around
# the load itself. "cpu ratio" is the same ratio from the processes' user + system
# time, which a machine shared with other work disturbs less. Against the peer, both
# programs are timed as whole processes (start to exit), with their peak memory.
set -euo pipefail
shopt -s inherit_errexit
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench_common.sh
source "$root/scripts/bench_common.sh"
build="${BUILD_DIR:-$root/build-bench}"
scratch="${SCRATCH:-/tmp/tessaro-bench}"
runs="${RUNS:-3}"
before_rev=""
with_peer=1
sizes=()
mesh_sizes=(100 500)
while [ $# -gt 0 ]; do
    case "$1" in
        --before) before_rev="$2"; shift 2 ;;
        --no-peer) with_peer=0; shift ;;
        --mesh) IFS=, read -r -a mesh_sizes <<<"$2"; [ "$2" != none ] || mesh_sizes=(); shift 2 ;;
        *) sizes+=("$1"); shift ;;
    esac
done
[ ${#sizes[@]} -gt 0 ] || sizes=(10 100 500)
[ "${sizes[*]}" != none ] || sizes=()

# Goals the figures are reported against: many-mesh worlds ("world-"), then single
# meshes ("mesh-", whose peak goal holds at every size).
goal_ratio=0.6
goal_peak_mb=300
goal_peak_doc_mb=500
goal_peer_speed=3
mesh_goal_ratio=0.4
mesh_goal_peak_mb=64
mesh_goal_peer_speed=4
goal_render_x=2

install_bench_tools "$with_peer"

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
# A square grid of side n is about (n / 58.4)^2 MB without normals.
for mb in "${mesh_sizes[@]}"; do
    for ext in xgl zgl; do
        f="$scratch/mesh-${mb}mb.$ext"
        if [ ! -s "$f" ] || [ "$gen" -nt "$f" ]; then
            echo "generating $f" >&2
            "$gen" "$f" --size 1 --grid "$(awk -v m="$mb" 'BEGIN { printf "%d", 58.4 * sqrt(m) }')" \
                --normals 0 --seed 1
        fi
        documents+=("$f")
    done
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Reads the number after "key": in a one-line JSON object.
json_number() {
    sed -n "s/.*\"$1\": *\([0-9.eE+-]*\).*/\1/p" <<<"$2"
}


# Each prints "wall_seconds cpu_seconds extra process_seconds" for one run on FILE.
floor_run() {  # FILE
    local process cpu kb out
    read -r process cpu kb < <(timed "$floor" "$1")
    out="$(cat "$work/out")"
    echo "$(json_number seconds "$out") $cpu $(json_number xml_bytes "$out") $process"
}
info_run() {  # CLI FILE; a document that loads with a message stops the script
    local process cpu kb out
    read -r process cpu kb < <(timed "$1" info "$2" --json)
    out="$(cat "$work/out")"
    if ! grep -q '"message": null' <<<"$out"; then
        echo "$1 reported a message for $2: $out" >&2
        return 1
    fi
    echo "$(json_number seconds "$out") $cpu $(json_number peak_rss_bytes "$out") $process"
}
peer_run() {  # FILE; extra is the peak resident bytes
    local process cpu kb
    read -r process cpu kb < <(timed assimp info "$1")
    echo "$process $cpu $((kb * 1024)) $process"
}

programs=(floor info)
[ -z "$before_cli" ] || programs+=(before)
[ $with_peer = 0 ] || programs+=(peer)

measure() {  # PROGRAM FILE
    case "$1" in
        floor) floor_run "$2" ;;
        info) info_run "$cli" "$2" ;;
        before) info_run "$before_cli" "$2" ;;
        peer) peer_run "$2" ;;
    esac
}

header=(document "file MB" "XML MB" "floor MB/s" "info MB/s" ratio "cpu ratio" "peak MB")
row_format='%-16s %7s %7s %10s %9s %6s %9s %7s'
if [ -n "$before_cli" ]; then
    header+=("before MB/s" "ratio" "cpu ratio")
    row_format+='  %11s %6s %9s'
fi
if [ $with_peer = 1 ]; then
    header+=("info s" "peer s" "peer MB" "speed x" "floor x")
    row_format+='  %6s %6s %7s %7s %7s'
fi
# shellcheck disable=SC2059
printf "$row_format\n" "${header[@]}"

verdicts=()
for f in "${documents[@]}"; do
    cat "$f" >/dev/null  # into the page cache, so that no run waits for the disk
    declare -A wall=() cpu=() process=()
    peaks=() peer_peaks=()
    xml_bytes=0
    for ((i = 0; i < runs; ++i)); do
        for ((k = 0; k < ${#programs[@]}; ++k)); do
            p="${programs[$(((i + k) % ${#programs[@]}))]}"
            result="$(measure "$p" "$f")"
            read -r w c extra t <<<"$result"
            wall[$p]+="$w "
            cpu[$p]+="$c "
            process[$p]+="$t "
            [ "$p" != floor ] || xml_bytes="$extra"
            [ "$p" != info ] || peaks+=("$extra")
            [ "$p" != peer ] || peer_peaks+=("$extra")
        done
    done
    # shellcheck disable=SC2086
    figures=(
        "$(median ${wall[floor]})" "$(median ${cpu[floor]})"
        "$(median ${wall[info]})" "$(median ${cpu[info]})" "$(median "${peaks[@]}")"
        "$([ -z "$before_cli" ] || median ${wall[before]})"
        "$([ -z "$before_cli" ] || median ${cpu[before]})"
        "$(median ${process[info]})"
        "$([ $with_peer = 0 ] || median ${process[peer]})"
        "$([ $with_peer = 0 ] || median "${peer_peaks[@]}")"
        "$(median ${process[floor]})"
    )
    unset wall cpu process
    read -r -a row < <(awk -v fb="$(stat -c %s "$f")" -v xb="$xml_bytes" \
        -v fw="${figures[0]}" -v fc="${figures[1]}" -v iw="${figures[2]}" -v ic="${figures[3]}" \
        -v pk="${figures[4]}" -v bw="${figures[5]:-0}" -v bc="${figures[6]:-0}" \
        -v it="${figures[7]}" -v pt="${figures[8]:-0}" -v pp="${figures[9]:-0}" \
        -v ft="${figures[10]}" \
        'BEGIN { m = 1048576
                 printf "%.1f %.1f %.1f %.1f %.2f %.2f %.1f", fb / m, xb / m, xb / m / fw,
                        xb / m / iw, fw / iw, fc / ic, pk / m
                 if (bw > 0) printf " %.1f %.2f %.2f", xb / m / bw, fw / bw, fc / bc
                 if (pt > 0) printf " %.2f %.2f %.1f %.2f %.2f", it, pt, pp / m, pt / it, pt / ft
                 print "" }')
    name="$(basename "$f")"
    # shellcheck disable=SC2059
    printf "$row_format\n" "$name" "${row[@]}"
    ratio="${row[4]}"
    peak_mb="${row[6]}"
    want_ratio=$goal_ratio want_speed=$goal_peer_speed want_peak=$goal_peak_mb
    if [[ "$name" == mesh-* ]]; then
        want_ratio=$mesh_goal_ratio want_speed=$mesh_goal_peer_speed want_peak=$mesh_goal_peak_mb
    fi
    if awk -v r="$ratio" -v g="$want_ratio" 'BEGIN { exit !(r >= g) }'; then
        verdicts+=("$name: ratio $ratio meets the goal of at least $want_ratio")
    else
        verdicts+=("$name: ratio $ratio is BELOW the goal of $want_ratio")
    fi
    if [ $with_peer = 1 ]; then
        speed="${row[-2]}"
        if awk -v r="$speed" -v g="$want_speed" 'BEGIN { exit !(r >= g) }'; then
            verdicts+=("$name: $speed times the peer's speed meets the goal of $want_speed")
        else
            verdicts+=("$name: $speed times the peer's speed is BELOW the goal of $want_speed")
        fi
    fi
    if [[ "$name" == mesh-* || "$name" == *"-${goal_peak_doc_mb}mb."* ]]; then
        if awk -v p="$peak_mb" -v g="$want_peak" 'BEGIN { exit !(p <= g) }'; then
            verdicts+=("$name: peak $peak_mb MB meets the goal of at most $want_peak MB")
        else
            verdicts+=("$name: peak $peak_mb MB is ABOVE the goal of $want_peak MB")
        fi
    fi
    if [ "$name" = "mesh-${mesh_sizes[0]:-}mb.xgl" ]; then
        render_seconds=()
        for ((i = 0; i < runs; ++i)); do
            read -r t _ _ < <(timed "$cli" render "$f" -o "$work/render.png")
            render_seconds+=("$t")
        done
        render_s="$(median "${render_seconds[@]}")"
        info_s="${figures[7]}"
        render_x="$(awk -v r="$render_s" -v i="$info_s" 'BEGIN { printf "%.2f", r / i }')"
        render_line="render $name: $render_s s, $render_x times the info process's $info_s s"
        if awk -v r="$render_x" -v g="$goal_render_x" 'BEGIN { exit !(r <= g) }'; then
            verdicts+=("$name: render at $render_x times info meets the goal of at most $goal_render_x")
        else
            verdicts+=("$name: render at $render_x times info is ABOVE the goal of $goal_render_x")
        fi
    fi
done
[ -z "${render_line:-}" ] || { echo; echo "$render_line"; }
echo
echo "MB = 2^20 bytes. MB/s counts the uncompressed XML (a ZGL's floor includes inflate)."
echo "ratio = floor seconds / info seconds (wall clock, measured in the programs);"
echo "cpu ratio = the same from user + system time of the processes;"
echo "peak = tessaro-cli's peak resident memory. Each figure is the median of $runs runs"
echo "of this invocation${before_rev:+; before = tessaro-cli of $before_rev}."
if [ $with_peer = 1 ]; then
    echo "info s, peer s = elapsed seconds of the whole tessaro-cli info and assimp info"
    echo "processes; peer MB = assimp's peak resident memory; speed x = peer s / info s;"
    echo "floor x = peer s / elapsed seconds of the expat_floor process: the most any"
    echo "reader built on expat could reach against the peer."
fi
printf '%s\n' "${verdicts[@]}"
