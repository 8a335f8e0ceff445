#!/usr/bin/env bash
# Tessaro.exe under wine shows an empty view in the window colour: when started without
# a file, and after File > Close of a model. The prefix's window colour is one that no
# other part of the screen has, so the largest rectangle of it must be the whole view.
# The screenshots stay in WORK to look at.
# Usage: wine_tessaro_empty_view_test.sh PICTURE_TOOL SAMPLES WINDOWS_BUILD WORK
set -euo pipefail
tool="$1" samples="$2" windows_build="$3" work="$4"
exe="$windows_build/viewer/win32/Tessaro.exe"

# shellcheck source=wine_env.sh
source "$(dirname "$0")/wine_env.sh"
tessaro_screenshot_start "$exe" "$@"

wine_prepare "$work"
cp "$samples/house.xgl" "$work/house.xgl"
colour=(230 220 200)
"$wine" reg add 'HKCU\Control Panel\Colors' /v Window /t REG_SZ /d "${colour[*]}" /f \
    >/dev/null 2>&1
# The running session keeps the colours it read at its start; the next one reads these.
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
failed=0

wait_for_title() {
    for _ in $(seq 1 60); do
        xwininfo -root -tree | grep -q "\"$1\"" && return 0
        sleep 0.5
    done
    echo "no window titled \"$1\""
    return 1
}

stop_program() {
    "$wine" taskkill /im Tessaro.exe >/dev/null 2>&1 || true
    for _ in $(seq 1 20); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.5
    done
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# The first window is 800 x 600; inside the frame, the bars and its sunken edge the
# view is 788 x 503 pixels, all of which must have the colour.
view_in_window_colour() {
    local width height
    read -r width height < <("$tool" rect "$1" "${colour[@]}")
    echo "$1: window colour fills $width x $height pixels"
    [ "$width" -ge 780 ] && [ "$height" -ge 495 ]
}

(cd "$work" && exec "$wine" "$exe") &
program=$!
wait_for_title "Tessaro" || failed=1
sleep 2
"$tool" grab "$work/empty.png"
view_in_window_colour "$work/empty.png" ||
    { echo "the view without a file is not in the window colour"; failed=1; }
stop_program "$program"

(cd "$work" && exec "$wine" "$exe" house.xgl) &
program=$!
wait_for_title "house.xgl - Tessaro" || failed=1
sleep 2
"$tool" grab "$work/house.png"
if view_in_window_colour "$work/house.png"; then
    echo "the view does not show the house"
    failed=1
fi
# File > Close through the menu's keys.
xdotool search --name "house.xgl - Tessaro" windowfocus --sync key alt+f key c
wait_for_title "Tessaro" || failed=1
sleep 1
"$tool" grab "$work/closed.png"
view_in_window_colour "$work/closed.png" ||
    { echo "the view after Close is not in the window colour"; failed=1; }
stop_program "$program"
exit "$failed"
