#!/usr/bin/env bash
# tessaro-cli info next to a peer reader on the same generated documents: Assimp's
# `assimp info`, which also reads XGL and ZGL. Each figure is the median of three
# runs in this invocation; wall seconds and peak memory come from /usr/bin/time.
# Usage: scripts/bench_peer.sh [SIZE_MB...]     (default sizes: 100 500)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100 500)
runs=3

need=()
command -v assimp >/dev/null || need+=(assimp-utils)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get -o DPkg::Lock::Timeout=900 update -q
    apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${need[@]}"
fi

build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target tessaro-cli xglgen >/dev/null
cli="$build/viewer/cli/tessaro-cli"
scratch=/tmp/tessaro-bench
mkdir -p "$scratch"

# Prints "seconds peak_kb" of one run of the command.
measure() {
    /usr/bin/time -f '%e %M' -o "$scratch/time" "$@" >/dev/null 2>&1
    cat "$scratch/time"
}

median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

printf '%-16s %8s %10s %9s %10s %9s %8s\n' document "XML MB" "ours s" "ours MB" "peer s" \
    "peer MB" "speed x"
for size in "${sizes[@]}"; do
    for ext in xgl zgl; do
        f="$scratch/world-${size}mb.$ext"
        [ -f "$f" ] || "$build/bench/xglgen" "$f" --size $((size * 1048576))
        ours_s=() ours_kb=() peer_s=() peer_kb=()
        for ((i = 0; i < runs; ++i)); do
            read -r s kb < <(measure "$cli" info "$f")
            ours_s+=("$s") ours_kb+=("$kb")
            read -r s kb < <(measure assimp info "$f")
            peer_s+=("$s") peer_kb+=("$kb")
        done
        awk -v name="$(basename "$f")" -v xml="$size" -v os="$(median "${ours_s[@]}")" \
            -v ok="$(median "${ours_kb[@]}")" -v ps="$(median "${peer_s[@]}")" \
            -v pk="$(median "${peer_kb[@]}")" \
            'BEGIN { printf "%-16s %8d %10.2f %9.1f %10.2f %9.1f %8.2f\n", name, xml, os,
                            ok / 1024, ps, pk / 1024, ps / os }'
    done
done
echo
echo "speed x = peer seconds / our seconds; MB columns are peak resident memory."
