#!/usr/bin/env bash
# Opens a document's glTF export in Blender's own importer: prints the object tree,
# materials and images Blender made of it and draws it with Cycles through the
# export's "Default view" camera, beside `tessaro-cli render` of the document.
# Blender is large, so the test command does not install it; this script does.
# Usage: scripts/blender_check.sh DOCUMENT OUT_FOLDER   (BUILD_DIR default build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${BUILD_DIR:-$root/build}/viewer/cli/tessaro-cli"
document="$1" out="$2"
if ! command -v blender >/dev/null || ! python3 -c 'import numpy' 2>/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get -o DPkg::Lock::Timeout=900 update -q >/dev/null
    apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends blender python3-numpy >/dev/null
fi
mkdir -p "$out"
name="$(basename "${document%.*}")"
"$cli" convert "$document" -o "$out/$name.glb"
"$cli" render "$document" -o "$out/$name-tessaro.png"
blender -b --python "$root/scripts/blender_gltf.py" -- "$out/$name.glb" "$out/$name-blender.png" 2>&1 |
    sed -n '/^=== objects/,/^Fra:/p' | grep -v '^Fra:'
echo "pictures: $out/$name-tessaro.png (tessaro-cli render), $out/$name-blender.png (Blender, Cycles)"
