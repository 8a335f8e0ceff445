#!/usr/bin/env bash
# RunPlotwick.exe under wine: its GDI drawing of sample DWF files matches the Linux
# plotwick's picture of the same files (edges may lie a pixel apart; beyond that at most
# 0.1% of the pixels, the size of the sample's text, may differ: the fonts are not the
# same); shapes in colours with alpha are blended as on Linux, to within a few levels
# per channel; and its window opens on the launcher's background with the sheet drawn.
# Pictures, differences and the screenshot stay in WORK to look at.
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
