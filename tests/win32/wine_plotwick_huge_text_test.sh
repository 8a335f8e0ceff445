#!/usr/bin/env bash
# RunPlotwick.exe under wine draws texts whose glyphs are huge on the device in bounded
# memory and time: the painter fuzzer's sheared text (1.5 GB and 35 s under wine when
# GDI drew it, and no picture) and its text of a missing glyph, and a squashed, turned
# text of 3000 glyphs. Each ends with its exit code within 6 s, under 256 MB at its peak
# (the wine process's own, as /usr/bin/time reads it) and writes its 96 x 72 picture.
# The hand-made sheet drawn at 3000 x 3000, where all its texts are filled as outlines,
# keeps each text's ink in the box where the Linux plotwick draws it.
# Usage: wine_plotwick_huge_text_test.sh PLOTWICK PICTURE_TOOL TEST_DATA WINDOWS_BUILD
#        WORK WRITE_SHEET
set -euo pipefail
plotwick="$1" tool="$2" data="$3" windows_build="$4" work="$5" write_sheet="$6"
exe="$windows_build/launcher/win32/RunPlotwick.exe"

# shellcheck source=wine_env.sh
source "$(dirname "$0")/wine_env.sh"
[ -f "$exe" ] || skip "no $exe (scripts/cross_build.sh makes it)"
[ -x /usr/bin/time ] || skip "/usr/bin/time is not installed (the time package)"
wine_prepare "$work"

corpus="$data/dwf-painter-fuzz-corpus"
tail -c +2 "$corpus/text-outlines-huge-sheared" >"$work/sheared.dwf"
tail -c +2 "$corpus/text-missing-glyph-huge-on-device" >"$work/missing-glyph.dwf"
"$write_sheet" "$work/squashed.w2d" squashed-text

failed=0
# The fuzzer's streams end in faults the reader reports (exit 1), after their texts.
for run in "sheared.dwf 1" "missing-glyph.dwf 1" "squashed.w2d 0"; do
    read -r file expected <<<"$run"
    picture="${file%.*}.bmp"
    rm -f "$work/$picture"
    status=0
    (cd "$work" && /usr/bin/time -f "%M %e" -o measured "$wine" "$exe" --render "$file" \
        -o "$picture" --size 96x72 2>/dev/null) || status=$?
    read -r kilobytes seconds < <(tail -n 1 "$work/measured")
    echo "$file: exit $status, $kilobytes kB at most, $seconds s"
    [ "$status" = "$expected" ] || { echo "$file: exit $status, not $expected"; failed=1; }
    [ "$kilobytes" -lt 262144 ] || { echo "$file: took more than 256 MB"; failed=1; }
    awk -v s="$seconds" 'BEGIN { exit !(s < 6) }' || { echo "$file: took 6 s or more"; failed=1; }
    size=$(od -An -t d4 -j 18 -N 8 "$work/$picture" 2>/dev/null | xargs || true)
    [ "$size" = "96 72" ] || { echo "$file: no 96 x 72 picture ($size)"; failed=1; }
done

# The hand-made sheet's texts, 5 times as large as in the comparison at 600 x 600: their
# ink must fill the same boxes as on Linux to within as many times its 5 pixels.
"$write_sheet" "$work/hand-made.w2d"
"$plotwick" --render "$work/hand-made.w2d" -o "$work/large_linux.png" --size 3000x3000
(cd "$work" && "$wine" "$exe" --render hand-made.w2d -o large_windows.bmp --size 3000x3000)
for box in "title 270 390 1260 240" "label 2415 1470 240 960" "slanted 1725 350 800 600"; do
    read -r name left top width height <<<"$box"
    linux=$("$tool" ink "$work/large_linux.png" "$left" "$top" "$width" "$height") || true
    windows=$("$tool" ink "$work/large_windows.bmp" "$left" "$top" "$width" "$height") || true
    echo "large $name ink (left top width height): linux $linux, windows $windows"
    read -r l1 t1 w1 h1 <<<"$linux"
    read -r l2 t2 w2 h2 <<<"$windows"
    [ "$w2" -gt 0 ] || { echo "the large $name has no ink under wine"; failed=1; }
    for pair in "$l1 $l2" "$t1 $t2" "$((l1 + w1)) $((l2 + w2))" "$((t1 + h1)) $((t2 + h2))"; do
        read -r a b <<<"$pair"
        [ $((a > b ? a - b : b - a)) -le 25 ] || {
            echo "the large $name's text is not in its box under wine"
            failed=1
            break
        }
    done
done
exit "$failed"
