#!/usr/bin/env bash
# Compares what two builds of tessaro-cli make of the same documents: `info --json`
# without its timing and memory fields must be byte-identical. Used to show that a
# change to the read path keeps its results.
#
# Usage: scripts/compare_info.sh OLD_CLI NEW_CLI [GENERATOR]
# The documents: the fuzz corpus and regressions (each input's first byte says whether
# the rest is XGL or ZGL), the samples, and, when GENERATOR (xglgen) is given, spilled
# single meshes of several sizes with and without normals, as XGL and ZGL.
# Prints one line per difference and a count; exits 1 when anything differs.
set -euo pipefail
old="$1" new="$2" gen="${3:-}"
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Fuzz inputs: bit 0 of the first byte marks a zlib stream, the rest is the file.
i=0
for f in "$root"/tests/data/fuzz-corpus/* "$root"/tests/data/fuzz-regressions/*; do
    case "$f" in
        *.xgl | *.zgl) cp "$f" "$work/$(basename "$f")"; continue ;;
    esac
    first=$(head -c1 "$f" | od -An -tu1 | tr -d ' ')
    ext=xgl
    [ -n "$first" ] && [ $((first & 1)) = 1 ] && ext=zgl
    tail -c +2 "$f" >"$work/corpus-$i.$ext"
    i=$((i + 1))
done
cp "$root"/samples/*.xgl "$root"/samples/*.zgl "$work/" 2>/dev/null || true
if [ -n "$gen" ]; then
    # Grids of 300 to 700 vertices a side cross the spill limits of every table.
    for grid in 300 420 700; do
        for normals in 0 1; do
            for ext in xgl zgl; do
                "$gen" "$work/mesh-$grid-$normals.$ext" --size 1 --grid $grid --normals $normals
            done
        done
    done
fi

strip() { sed -e 's/"seconds": [0-9.eE+-]*, //' -e 's/"peak_rss_bytes": [0-9]*, //'; }
total=0 differ=0
for f in "$work"/*.xgl "$work"/*.zgl; do
    a="$("$old" info "$f" --json 2>&1 | strip || true)"
    b="$("$new" info "$f" --json 2>&1 | strip || true)"
    total=$((total + 1))
    if [ "$a" != "$b" ]; then
        differ=$((differ + 1))
        echo "differs: $(basename "$f")"
        echo "  old: $a"
        echo "  new: $b"
    fi
done
echo "$total documents, $differ differ"
[ "$differ" = 0 ]
