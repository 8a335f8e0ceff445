#!/usr/bin/env bash
# Installs the build into a fresh folder and runs the command line of the installed
# thumbnailer entry the way a file manager does: %i the document, %o the picture,
# %s the size. The picture must be a PNG of exactly that size.
set -euo pipefail
build="$1"
sample="$2"
size=128
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
entry="$prefix/share/thumbnailers/tessaro.thumbnailer"
[ -f "$entry" ] || { echo "no thumbnailer entry at $entry"; exit 1; }
[ -f "$prefix/share/mime/packages/tessaro.xml" ] || { echo "MIME types not installed"; exit 1; }
grep -qx 'MimeType=model/x-xgl;model/x-zgl;' "$entry" || { echo "entry misses the MIME types"; exit 1; }

exec_line="$(sed -n 's/^Exec=//p' "$entry")"
out="$prefix/thumb.png"
command_line="${exec_line//%i/$sample}"
command_line="${command_line//%o/$out}"
command_line="${command_line//%s/$size}"
echo "running: $command_line"
# shellcheck disable=SC2086  # split like the file manager does
PATH="$prefix/bin:$PATH" $command_line

[ -f "$out" ] || { echo "no picture written"; exit 1; }
header="$(od -An -tx1 -N8 "$out" | tr -d ' \n')"
[ "$header" = "89504e470d0a1a0a" ] || { echo "not a PNG: $header"; exit 1; }
read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$out")
[ "$width" = "$size" ] && [ "$height" = "$size" ] || { echo "picture is ${width}x${height}"; exit 1; }
echo "thumbnail ${width}x${height} written"
