#!/usr/bin/env bash
# Installs what is needed, builds the programs, checks the bundled sample models and
# shows one: in the viewer when a display is present, else as a PNG drawn headless.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
for f in samples/*.xgl samples/*.zgl; do
    [ -e "$f" ] || continue
    echo "tessaro-cli check $f"
    build/viewer/cli/tessaro-cli check "$f" && echo "  valid"
done

sample=samples/grid.xgl
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "tessaro $sample"
    build/viewer/app/tessaro "$sample"
else
    out=build/grid.png
    build/viewer/cli/tessaro-cli render "$sample" -o "$out"
    echo "no display: the picture the viewer shows is in $out"
fi
