#!/usr/bin/env bash
# Tessaro.exe under wine: started with a sample, its window is titled after the file and
# its view shows the model; a drag with the left button turns it; a larger window is
# drawn whole; asked to close, the process ends. The screenshots stay in WORK to look at.
# Usage: wine_tessaro_test.sh PICTURE_TOOL SAMPLES WINDOWS_BUILD WORK
set -euo pipefail
tool="$1" samples="$2" windows_build="$3" work="$4"
exe="$windows_build/viewer/win32/Tessaro.exe"

# shellcheck source=wine_env.sh
source "$(dirname "$0")/wine_env.sh"
tessaro_screenshot_start "$exe" "$@"

wine_prepare "$work"
cp "$samples/house.xgl" "$work/house.xgl"
failed=0

started=$(date +%s%N)
(cd "$work" && exec "$wine" "$exe" house.xgl) &
program=$!
titled=0
for _ in $(seq 1 60); do
    sleep 0.5
    xwininfo -root -tree | grep -q '"house.xgl - Tessaro"' && titled=1 && break
done
echo "window titled after $((($(date +%s%N) - started) / 1000000)) ms"
[ "$titled" = 1 ] || { echo "no window titled \"house.xgl - Tessaro\""; failed=1; }

# The house stands on a background of (0.72, 0.84, 0.96); the view is about 790 x 550
# pixels, and the house covers a part of it, never all of it.
background_between() {
    local count
    count=$("$tool" count "$1" 184 214 245)
    echo "$1: $count background pixels"
    [ "$count" -ge "$2" ] && [ "$count" -le "$3" ]
}
sleep 2
"$tool" grab "$work/house.png"
background_between "$work/house.png" 300000 420000 ||
    { echo "the view does not show the house"; failed=1; }

# Examine is the first tool: dragging across the view turns the house, which changes
# more than a few pixels.
xdotool mousemove 500 400 mousedown 1 mousemove 520 420 mousemove 540 430 mouseup 1
sleep 1
"$tool" grab "$work/house-turned.png"
if "$tool" compare "$work/house.png" "$work/house-turned.png" 16 2 "$work/turn-diff.png"; then
    echo "dragging did not turn the house"
    failed=1
fi

# A larger window gives a larger view, all of it drawn: the sky grows with it.
"$tool" resize "house.xgl - Tessaro" 1000 740 >/dev/null
sleep 2
"$tool" grab "$work/house-larger.png"
before=$("$tool" count "$work/house-turned.png" 184 214 245)
background_between "$work/house-larger.png" $((before + 80000)) 700000 ||
    { echo "the larger view is not drawn whole"; failed=1; }

# Closing the window (WM_CLOSE, as its close box sends) ends the process.
"$wine" taskkill /im Tessaro.exe >/dev/null 2>&1 || true
ended=0
for _ in $(seq 1 20); do
    sleep 0.5
    kill -0 "$program" 2>/dev/null || { ended=1 && break; }
done
if [ "$ended" = 1 ]; then
    wait "$program" || true
    echo "ended $((($(date +%s%N) - started) / 1000000)) ms after the start"
else
    echo "the process did not end after its window was closed"
    kill "$program" 2>/dev/null || true
    failed=1
fi
exit "$failed"
