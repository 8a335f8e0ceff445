#!/usr/bin/env bash
# Usage: scripts/compare_cli.sh BASELINE_CLI NEW_CLI [render]
# Turns every fuzz-corpus input (first byte: bit 0 = zlib stream) into an .xgl/.zgl file,
# adds the samples, and compares exit code + stdout of `check` and `info --json`
# (load time and peak memory removed) between the two binaries; with "render", also the PNGs.
# With XGLGEN set to the generator (build/bench/xglgen), it also adds single meshes of
# 300, 420 and 700 positions a side, with and without normals, as XGL and ZGL: their
# tables spill to temporary files, which the corpus never reaches.
set -uo pipefail
base="$1"; new="$2"; render="${3:-}"
root="$(cd "$(dirname "$0")/.." && pwd)"
work=$(mktemp -d)
mkdir -p "$work/docs"
for f in "$root"/tests/data/fuzz-corpus/*; do
    mode=$(head -c1 "$f" | od -An -tu1 | tr -d ' ')
    ext=xgl; [ $((mode & 1)) = 1 ] && ext=zgl
    tail -c +2 "$f" > "$work/docs/$(basename "$f").$ext"
done
cp "$root"/samples/* "$root"/tests/data/fuzz-regressions/* "$work/docs/"
if [ -n "${XGLGEN:-}" ]; then
    for grid in 300 420 700; do
        for normals in 0 1; do
            for ext in xgl zgl; do
                "$XGLGEN" "$work/docs/mesh-$grid-$normals.$ext" --size 1 --grid $grid --normals $normals
            done
        done
    done
fi
filter() { sed -E 's/"seconds": [0-9.]+, "peak_rss_bytes": [0-9]+, //'; }
diffs=0; n=0
for d in "$work"/docs/*; do
    n=$((n+1))
    for cli in "$base" "$new"; do
        tag=$([ "$cli" = "$base" ] && echo a || echo b)
        { "$cli" check "$d"; echo "exit $?"; "$cli" info "$d" --json | filter; echo "exit $?"; } > "$work/$tag.out" 2>&1
        if [ -n "$render" ]; then "$cli" render "$d" -o "$work/$tag.png" --size 160x120 >> "$work/$tag.out" 2>&1; echo "exit $?" >> "$work/$tag.out"; fi
    done
    if ! cmp -s "$work/a.out" "$work/b.out"; then diffs=$((diffs+1)); echo "DIFF $d"; diff "$work/a.out" "$work/b.out" | head -5; fi
    if [ -n "$render" ] && [ -f "$work/a.png" -o -f "$work/b.png" ]; then
        cmp -s "$work/a.png" "$work/b.png" || { diffs=$((diffs+1)); echo "PNG DIFF $d"; }
    fi
    rm -f "$work/a.png" "$work/b.png"
done
echo "$n documents, $diffs differences"
rm -rf "$work"
[ $diffs = 0 ]
