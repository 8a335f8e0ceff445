#!/usr/bin/env bash
# RunPlotwick.exe under wine: its GDI drawing of sample DWF files matches the Linux
# plotwick's picture of the same files (edges may lie a pixel apart; beyond that at most
# 0.1% of the pixels, the size of the sample's text, may differ: the fonts are not the
# same), and its window opens on the launcher's background with the sheet drawn. Pictures, differences and the screenshot stay in WORK to look at.
# Usage: wine_plotwick_test.sh PLOTWICK PICTURE_TOOL TEST_DATA WINDOWS_BUILD WORK
set -euo pipefail
plotwick="$1" tool="$2" data="$3" windows_build="$4" work="$5"
exe="$windows_build/launcher/win32/RunPlotwick.exe"

# shellcheck source=wine_env.sh
source "$(dirname "$0")/wine_env.sh"
[ -f "$exe" ] || skip "no $exe (scripts/cross_build.sh makes it)"
command -v xvfb-run >/dev/null || skip "xvfb-run is not installed"

# A display of our own, so that no other test's window is in the screenshot.
if [ -z "${PLOTWICK_WINE_DISPLAY:-}" ]; then
    PLOTWICK_WINE_DISPLAY=1 exec env -u DISPLAY xvfb-run -a -s "-screen 0 1024x768x24" \
        bash "$0" "$@"
fi

wine_prepare "$work"

# The fuzz corpus keeps whole files behind one mode byte.
tail -c +2 "$data/dwf-fuzz-corpus/single-stream-dwf" >"$work/every.dwf"
tail -c +2 "$data/dwf-fuzz-corpus/small-package" >"$work/package.dwf"

failed=0
for name in every package; do
    "$plotwick" --render "$work/$name.dwf" -o "$work/${name}_linux.png" --size 400x300
    started=$(date +%s%N)
    (cd "$work" && "$wine" "$exe" --render "$name.dwf" -o "${name}_windows.bmp" --size 400x300)
    echo "$name: drawn under wine in $((($(date +%s%N) - started) / 1000000)) ms"
    "$tool" png "$work/${name}_windows.bmp" "$work/${name}_windows.png"
    echo -n "$name: "
    "$tool" compare "$work/${name}_linux.png" "$work/${name}_windows.bmp" 48 0.1 \
        "$work/${name}_difference.png" || failed=1
done

# The window: Form1 on the background colour, the sheet's blue triangle drawn in it.
(cd "$work" && exec "$wine" "$exe" every.dwf) &
shown=0
for _ in $(seq 1 60); do
    sleep 0.5
    "$tool" grab "$work/window.png" 2>/dev/null || continue
    background=$("$tool" count "$work/window.png" 237 237 214)
    blue=$("$tool" count "$work/window.png" 0 0 255)
    if [ "$background" -gt 50000 ] && [ "$blue" -gt 500 ]; then
        shown=1
        break
    fi
done
if [ "$shown" = 1 ]; then
    echo "window: $background background pixels, $blue blue pixels of the sheet"
else
    echo "window: no window with the drawn sheet appeared (screenshot in $work/window.png)"
    failed=1
fi
if command -v xwininfo >/dev/null; then
    xwininfo -root -tree | grep -q '"Form1"' || { echo "no window captioned Form1"; failed=1; }
else
    echo "xwininfo is not installed: the caption is not checked"
fi
exit "$failed"
