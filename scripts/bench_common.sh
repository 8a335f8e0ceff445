# Sourced by the benchmark scripts (bench_info.sh, bench_convert.sh): installing their
# tools, the median of a list of numbers, and one timed run of a program. `timed`
# needs $work, a scratch folder of the sourcing script.

median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# Runs a program with its output in $work/out; prints the process's elapsed seconds,
# user + system seconds and peak resident kilobytes.
timed() {
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >"$work/out" 2>"$work/err" || {
        echo "failed: $*: $(cat "$work/err" "$work/out")" >&2
        return 1
    }
    awk '{ print $1, $2 + $3, $4 }' "$work/time"
}

# Installs what the timing needs: GNU time, and Assimp when the peer is measured
# (WITH_PEER is 1).
install_bench_tools() {  # WITH_PEER
    local need=()
    [ -x /usr/bin/time ] || need+=(time)
    [ "$1" = 0 ] || command -v assimp >/dev/null || need+=(assimp-utils)
    [ ${#need[@]} -gt 0 ] || return 0
    echo "installing ${need[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get -o DPkg::Lock::Timeout=900 update -q >/dev/null
    apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${need[@]}" >/dev/null
}
