#!/usr/bin/env bash
# Converts documents with `tessaro-cli convert` and checks the exports with outside tools:
#   validator  the Khronos glTF validator finds no error in the .glb and .gltf exports;
#   assimp     `assimp info` reads every export (.glb, .gltf, .obj, .stl) back with the
#              document's face, line and point counts (those of `tessaro-cli info`).
# Usage: ecosystem_test.sh validator|assimp CLI TOOLS_DIR DOCUMENT[:F,L,P]...
#   F,L,P  the counts of the OBJ and STL exports where they differ from the document's:
#          those formats have no instancing, so every instance of a mesh is written.
# Exits 77 (skipped), printing why, when the tool is missing and could not be installed.
set -euo pipefail
check="$1" cli="$2" tools="$3"
shift 3
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

if [ "$check" = validator ]; then
    module="$tools/node_modules/gltf-validator"
    if [ ! -f "$module/package.json" ] || ! command -v node >/dev/null; then
        echo "SKIPPED: the glTF validator is not available: $(cat "$tools/unavailable" 2>/dev/null ||
            echo "not installed in $tools")"
        exit 77
    fi
elif ! command -v assimp >/dev/null; then
    echo "SKIPPED: assimp is not installed (scripts/setup.sh installs Debian's assimp-utils)"
    exit 77
fi

json_number() {  # KEY JSON
    sed -n "s/.*\"$1\": *\([0-9]*\).*/\1/p" <<<"$2"
}

# Sums the faces of assimp's meshes by primitive type: "triangles lines points".
assimp_counts() {  # FILE
    assimp info "$1" -v 2>&1 | awk '
        match($0, /\[[0-9]+ \/ [0-9]+ \/ [0-9]+ \| (triangle|line|point)\]/) {
            split(substr($0, RSTART + 1, RLENGTH - 2), f, /[ \/|]+/)
            n[f[4]] += f[3]
        }
        / ERROR|Unable to load/ { print "error: " $0 > "/dev/stderr" }
        END { printf "%d %d %d\n", n["triangle"], n["line"], n["point"] }'
}

failures=0
for entry in "$@"; do
    document="${entry%%:*}"
    name="$(basename "${document%.*}")"
    info="$("$cli" info "$document" --json)"
    expected="$(json_number faces "$info") $(json_number lines "$info") $(json_number points "$info")"
    flat="$expected"
    [ "$entry" = "$document" ] || flat="$(tr ',' ' ' <<<"${entry#*:}")"
    for format in glb gltf obj stl; do
        out="$work/$name.$format"
        if ! "$cli" convert "$document" -o "$out"; then
            echo "FAIL: tessaro-cli convert $document -o $out"
            failures=$((failures + 1))
            continue
        fi
        if [ "$check" = validator ]; then
            [ "$format" = glb ] || [ "$format" = gltf ] || continue
            node "$(dirname "$0")/validate_gltf.js" "$module" "$out" || failures=$((failures + 1))
            continue
        fi
        want="$expected"
        [ "$format" = glb ] || [ "$format" = gltf ] || want="$flat"
        # STL holds triangles only; assimp refuses one without any.
        [ "$format" != stl ] || want="${want%% *} 0 0"
        [ "$want" != "0 0 0" ] || continue
        got="$(assimp_counts "$out" || true)"
        if [ "$got" = "$want" ]; then
            echo "$name.$format: assimp reads $got (faces lines points)"
        else
            echo "FAIL $name.$format: assimp reads $got (faces lines points), expected $want"
            failures=$((failures + 1))
        fi
    done
done
echo "$failures failures"
[ "$failures" = 0 ]
