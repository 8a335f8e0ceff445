#!/usr/bin/env bash
# RunPlotwick.exe under wine draws a package's 3D model with OpenGL through WGL: its
# --render picture of the arbor press is the Linux plotwick's (both draw with Mesa, so
# to within a few levels), and in its window Page Down goes from a sheet to the blue
# press, a left drag turns it, Home brings back the published view pixel for pixel,
# the wheel zooms in, a middle drag pans and Page Up goes back to the sheet. The
# pictures stay in WORK to look at.
# Usage: wine_plotwick_model_test.sh PLOTWICK PICTURE_TOOL SAMPLES WINDOWS_BUILD WORK
set -euo pipefail
plotwick="$1" tool="$2" samples="$3" windows_build="$4" work="$5"
exe="$windows_build/launcher/win32/RunPlotwick.exe"
press="$samples/arbor-press-3d.dwf"

# shellcheck source=wine_env.sh
source "$(dirname "$0")/wine_env.sh"
[ -f "$press" ] || skip "no $press (the sample DWF packages are not on this machine)"
command -v python3 >/dev/null || skip "python3 is needed to add a sheet to the package"
tessaro_screenshot_start "$exe" "$@"

wine_prepare "$work"
cp "$press" "$work/press.dwf"
failed=0

# The press's shaded blue faces: about 11800 pixels of a 400 x 300 picture.
blue() { "$tool" count "$1" 47 93 147 40; }

"$plotwick" --render "$work/press.dwf" -o "$work/press_linux.png" --size 400x300
(cd "$work" && "$wine" "$exe" --render press.dwf -o press_windows.bmp --size 400x300) ||
    { echo "--render of the model failed under wine"; failed=1; }
"$tool" png "$work/press_windows.bmp" "$work/press_windows.png" || true
echo "--render: $(blue "$work/press_windows.bmp") blue pixels"
[ "$(blue "$work/press_windows.bmp")" -ge 8000 ] || { echo "no press in the BMP"; failed=1; }
echo -n "--render against Linux: "
"$tool" compare "$work/press_linux.png" "$work/press_windows.bmp" 8 0.5 \
    "$work/press_difference.png" || failed=1

# The same package with a sheet before the model: a red square on its first page.
python3 - "$work/press.dwf" "$work/sheet-and-press.dwf" <<'EOF'
import sys, zipfile
square = b"(W2D V06.00)(View 0,0 1000,1000)(Color 255,0,0,255)F P 4 250,250 750,250 750,750 250,750 (EndOfDWF)"
sheet = ('<dwf:Section type="com.autodesk.dwf.ePlot" name="sheet" title="Sheet 1"><dwf:Toc>'
         '<dwf:Resource dwf:role="2d streaming graphics" dwf:href="sheet\\square.w2d"/>'
         '</dwf:Toc></dwf:Section>')
with open(sys.argv[1], "rb") as file:
    header = file.read(12)  # "(DWF V06.01)" before the ZIP archive
with zipfile.ZipFile(sys.argv[1]) as source, open(sys.argv[2], "wb") as file:
    file.write(header)
    with zipfile.ZipFile(file, "w") as target:
        for entry in source.infolist():
            data = source.read(entry)
            if entry.filename == "manifest.xml":
                data = data.decode().replace("<dwf:Sections>", "<dwf:Sections>" + sheet, 1).encode()
            target.writestr(entry, data)
        target.writestr("sheet\\square.w2d", square)
EOF

(cd "$work" && exec "$wine" "$exe" sheet-and-press.dwf) &
program=$!

# Grabs the screen into NAME.png until the condition after it holds; after 30 s the
# test fails there, since every later step starts from what this one shows.
# Usage: await NAME COMMAND...   (the command sees the picture as $shot)
await() {
    local name="$1"
    shift
    shot="$work/$name.png"
    for _ in $(seq 1 60); do
        sleep 0.5
        "$tool" grab "$shot" 2>/dev/null || continue
        "$@" && return 0
    done
    echo "$name: $*: not seen within 30 s"
    kill "$program" 2>/dev/null || true
    exit 1
}
red() { "$tool" count "$shot" 255 0 0; }
blue_at_least() { [ "$(blue "$shot")" -ge "$1" ]; }
# More than PERCENT of the pixels differ from those of picture NAME.
differs_from() { ! "$tool" compare "$work/$1.png" "$shot" 16 "$2" /dev/null >/dev/null; }
same_as() { "$tool" compare "$work/$1.png" "$shot" 0 0 /dev/null >/dev/null; }
showing_sheet() { [ "$(red)" -ge 20000 ] && [ "$(blue "$shot")" = 0 ]; }
# Page Down shows the model; a wait for a picture that stays the same lets the first
# frame, and any repaint after it, land before the others are compared with it.
showing_press() { [ "$(red)" = 0 ] && blue_at_least 20000; }
settled_press() { showing_press && sleep 1 && "$tool" grab "$work/press-window-2.png" &&
    same_as press-window-2; }

await sheet showing_sheet
xdotool mousemove 400 300 key Next
await press-window settled_press
echo "model page: $(blue "$shot") blue pixels"

xdotool mousedown 1 mousemove 440 320 mousemove 480 340 mouseup 1
await press-turned differs_from press-window 2
xdotool key Home
await press-home same_as press-window

before=$(blue "$shot")
xdotool click 4 click 4
await press-zoomed blue_at_least $((before * 3 / 2))
echo "two notches in: $before -> $(blue "$shot") blue pixels"

xdotool key Home mousemove 400 300 mousedown 2 mousemove 460 330 mousemove 520 360 mouseup 2
await press-panned differs_from press-window 2
echo "panned: $(blue "$shot") blue pixels ($before before)"
[ "$(blue "$shot")" -ge $((before * 9 / 10)) ] && [ "$(blue "$shot")" -le $((before * 11 / 10)) ] ||
    { echo "a middle drag did more than move the press"; failed=1; }

xdotool key Prior
await sheet-again showing_sheet

kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
exit "$failed"
