# Sourced by the benchmark scripts (bench_info.sh, bench_convert.sh): the median of a
# list of numbers, and one timed run of a program. `timed` needs $work, a scratch
# folder of the sourcing script.

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
