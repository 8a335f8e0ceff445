#!/usr/bin/env bash
# Installs what is needed, builds the programs, checks the bundled sample models and
# shows the house: as a PNG drawn headless, and in the viewer when a display is present.
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

# The house, turned so that its front, side and roof show; the picture is always
# written, and the viewer opens the house too when a display is present.
sample=samples/house.xgl
out=build/house.png
build/viewer/cli/tessaro-cli render "$sample" -o "$out" --size 1024x768 --turn -60,40
echo "the house seen from the front right and above is in $out"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "tessaro $sample  (drag to turn it, Home for the default view)"
    build/viewer/app/tessaro "$sample"
fi
