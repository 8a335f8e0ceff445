#!/usr/bin/env bash
# tessaro-cli convert as scripts use it: a document with an error writes no file in
# any format, prints its message and exits 1; an output name of no known format and a
# file that cannot be opened exit 2; --headlight adds the light to the glTF export.
set -euo pipefail
cli="$1"
sample="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

broken="$work/broken.xgl"
printf '%s\n' '<WORLD><BACKGROUND><BACKCOLOR>1 1 1</BACKCOLOR></BACKGROUND>' \
    '<LIGHTING><AMBIENT>0.2 0.2 0.2</AMBIENT></LIGHTING><MESH><MAT ID="1"><AMB>0 0 0</AMB>' \
    '<DIFF>1 0 0</DIFF></MAT><F><MATREF>1</MATREF><FV1><P>0 0 0</P></FV1><FV2><P>1 0 0</P></FV2>' \
    '<FV3><P>1 1 0</P></FV3></F><F><WRONG/></F></MESH></WORLD>' >"$broken"
expected="$("$cli" check "$broken" || true)"
[ -n "$expected" ] || fail "the broken document has no message"
for format in glb gltf obj stl; do
    status=0
    message="$("$cli" convert "$broken" -o "$work/out.$format")" || status=$?
    [ "$status" = 1 ] || fail "convert of a broken document to .$format exited $status, not 1"
    [ "$message" = "$expected" ] || fail "convert printed '$message', check printed '$expected'"
done
leftovers="$(find "$work" -name 'out*')"
[ -z "$leftovers" ] || fail "a broken document left files: $leftovers"

status=0
"$cli" convert "$sample" -o "$work/out.dae" 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "an output named .dae exited $status, not 2"
[ ! -e "$work/out.dae" ] || fail "an output named .dae was written"
status=0
"$cli" convert "$work/missing.xgl" -o "$work/out.glb" 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "a missing document exited $status, not 2"

"$cli" convert "$sample" -o "$work/plain.glb"
"$cli" convert "$sample" -o "$work/lit.GLB" --headlight
[ "$(head -c 4 "$work/plain.glb")" = glTF ] || fail "the .glb does not start with glTF"
! grep -q '"Headlight"' "$work/plain.glb" || fail "a headlight without --headlight"
grep -q '"Headlight"' "$work/lit.GLB" || fail "--headlight added no light"
echo "convert refuses what it must and writes nothing for a broken document"
