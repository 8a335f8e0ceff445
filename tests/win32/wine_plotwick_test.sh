#!/usr/bin/env bash
# RunPlotwick.exe under wine: its GDI drawing of sample DWF files matches the Linux
# plotwick's picture of the same files (edges may lie a pixel apart; beyond that at most
# 0.1% of the pixels, the size of the sample's text, may differ: the fonts are not the
# same); shapes in colours with alpha are blended as on Linux, to within a few levels
# per channel; a hand-made sheet with texts, hatches, an image and a compressed block
# draws the same; and its window opens on the launcher's background with the sheet drawn.
# Pictures, differences and the screenshot stay in WORK to look at.
# Usage: wine_plotwick_test.sh PLOTWICK PICTURE_TOOL TEST_DATA WINDOWS_BUILD WORK WRITE_SHEET
set -euo pipefail
plotwick="$1" tool="$2" data="$3" windows_build="$4" work="$5" write_sheet="$6"
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
# Half-transparent shapes over opaque ones and past the paper's edge, and a transparent
# one over everything.
cp "$data/translucent-shapes.w2d" "$work/translucent.w2d"

failed=0
# Each file with the channel tolerance it is compared at: the translucent shapes at a
# few levels, so that a wrong alpha shows and not only a missing shape.
for compared in "every.dwf 48" "package.dwf 48" "translucent.w2d 8"; do
    read -r file tolerance <<<"$compared"
    name="${file%.*}"
    "$plotwick" --render "$work/$file" -o "$work/${name}_linux.png" --size 400x300
    started=$(date +%s%N)
    (cd "$work" && "$wine" "$exe" --render "$file" -o "${name}_windows.bmp" --size 400x300)
    echo "$name: drawn under wine in $((($(date +%s%N) - started) / 1000000)) ms"
    "$tool" png "$work/${name}_windows.bmp" "$work/${name}_windows.png"
    echo -n "$name: "
    "$tool" compare "$work/${name}_linux.png" "$work/${name}_windows.bmp" "$tolerance" 0.1 \
        "$work/${name}_difference.png" || failed=1
done

# The hand-made sheet (written by WRITE_SHEET): border, a title in its box, a label
# turned 90 degrees, a text turned, widened and slanted by its font, slanted, crossed
# and checkered hatches, a PNG, with the texts and hatches in a compressed block. At 600 x 600 a logical unit is 0.06 pixel. Wine's
# Arial and Qt's sans serif differ glyph by glyph, so the text boxes are masked out of
# the strict comparison and their ink must instead fill the same box: the same place,
# size and angle to within 5 pixels (the fonts' side bearings differ by up to 4 pixels;
# a baseline put on the box's bottom edge instead of its descent line moves 7).
"$write_sheet" "$work/hand-made.w2d"
"$plotwick" --render "$work/hand-made.w2d" -o "$work/hand-made_linux.png" --size 600x600
(cd "$work" && "$wine" "$exe" --render hand-made.w2d -o hand-made_windows.bmp --size 600x600)
"$tool" png "$work/hand-made_windows.bmp" "$work/hand-made_windows.png"
title="54,78,252,48" label="483,294,48,192" slanted="345,70,160,120"
echo -n "hand-made, outside its texts: "
"$tool" compare "$work/hand-made_linux.png" "$work/hand-made_windows.bmp" 48 0.1 \
    "$work/hand-made_difference.png" "$title;$label;$slanted" || failed=1
for box in "title $title" "label $label" "slanted $slanted"; do
    read -r name area <<<"$box"
    # shellcheck disable=SC2046  # the area's four numbers
    linux=$("$tool" ink "$work/hand-made_linux.png" $(tr , ' ' <<<"$area")) || true
    # shellcheck disable=SC2046
    windows=$("$tool" ink "$work/hand-made_windows.bmp" $(tr , ' ' <<<"$area")) || true
    echo "hand-made $name ink (left top width height): linux $linux, windows $windows"
    read -r l1 t1 w1 h1 <<<"$linux"
    read -r l2 t2 w2 h2 <<<"$windows"
    for pair in "$l1 $l2" "$t1 $t2" "$((l1 + w1)) $((l2 + w2))" "$((t1 + h1)) $((t2 + h2))"; do
        read -r a b <<<"$pair"
        [ $((a > b ? a - b : b - a)) -le 5 ] || {
            echo "the $name's text is not in its box under wine"
            failed=1
            break
        }
    done
done

# Only Plotwick writes PDF pages; RunPlotwick.exe's BMP holds one sheet.
status=0
(cd "$work" && "$wine" "$exe" --render every.dwf -o all.bmp --all-sheets 2>/dev/null) || status=$?
[ "$status" = 2 ] || { echo "--all-sheets gave exit $status under wine, not 2"; failed=1; }

# Pixels of one colour in the screenshot $1.
pixels() { "$tool" count "$work/$1.png" "$2" "$3" "$4"; }

# Starts RunPlotwick.exe with the arguments after the screenshot's name, grabs the
# screen until at least MIN pixels of R G B show (or 30 s passed) and ends the program.
# Usage: screenshot NAME R G B MIN ARGUMENT...
screenshot() {
    local name="$1" r="$2" g="$3" b="$4" min="$5"
    shift 5
    (cd "$work" && exec "$wine" "$exe" "$@") &
    local program=$! i
    for i in $(seq 1 60); do
        sleep 0.5
        "$tool" grab "$work/$name.png" 2>/dev/null || continue
        [ "$(pixels "$name" "$r" "$g" "$b")" -ge "$min" ] && break
    done
    if [ -n "${resize_to:-}" ]; then
        # shellcheck disable=SC2086  # width and height
        "$tool" resize Form1 $resize_to && sleep 1 && "$tool" grab "$work/${name}_resized.png"
    fi
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
}

# A name with a blank, in double quotes, is one argument: the sheet is drawn (its blue
# triangle) on white paper, with the background beside it.
# Resized to a client area of 1000 x 700, the component still fills it: the refitted
# 700 x 700 paper between two 150-pixel strips of background.
cp "$work/every.dwf" "$work/My Part.dwf"
resize_to="1000 700" screenshot window 0 0 255 500 "My Part.dwf"
echo "window: $(pixels window 237 237 214) background, $(pixels window 255 255 255) paper," \
    "$(pixels window 0 0 255) blue pixels"
[ "$(pixels window 237 237 214)" -gt 50000 ] && [ "$(pixels window 0 0 255)" -ge 500 ] || {
    echo "the window did not show the sheet of \"My Part.dwf\""
    failed=1
}
echo "resized: $(pixels window_resized 237 237 214) background pixels (210000 when filled)"
[ "$(pixels window_resized 237 237 214)" -ge 200000 ] || {
    echo "the component did not follow the window's new size"
    failed=1
}
if command -v xwininfo >/dev/null; then
    (cd "$work" && exec "$wine" "$exe") &
    program=$!
    # A loaded machine may take a while to start wine: wait for the window up to 30 s.
    shown=0
    for _ in $(seq 60); do
        xwininfo -root -tree | grep -q '"Form1"' && { shown=1; break; }
        sleep 0.5
    done
    [ $shown = 1 ] || { echo "no window captioned Form1"; failed=1; }
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
else
    echo "xwininfo is not installed: the caption is not checked"
fi

# A file it cannot open is reported inside the window in dark red.
screenshot missing 160 0 0 50 "Missing.dwf"
echo "missing file: $(pixels missing 160 0 0) pixels of the message"
[ "$(pixels missing 160 0 0)" -ge 50 ] || { echo "the missing file was not reported"; failed=1; }

# Without an argument the component stays empty: background, no paper, no message.
screenshot empty 237 237 214 390000
[ "$(pixels empty 237 237 214)" -ge 390000 ] && [ "$(pixels empty 255 255 255)" = 0 ] &&
    [ "$(pixels empty 160 0 0)" = 0 ] || {
    echo "the window without an argument is not empty"
    failed=1
}
exit "$failed"
