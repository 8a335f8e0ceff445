#!/usr/bin/env bash
# tessaro-cli.exe check under wine against the Linux tessaro-cli check: each document
# of the table (every kind of syntax error, documents cut off inside an element, a tag
# or an attribute, numbered messages, valid .xgl and .zgl, the samples) must give the same output
# and the same exit code. Windows ends printed lines with CR LF; that is the only
# difference allowed. Prints the table of what it compared.
# Usage: wine_cli_check_test.sh LINUX_CLI WINDOWS_BUILD_DIR WORK
set -euo pipefail
linux_cli="$1" windows_build="$2" work="$3"
# shellcheck source=wine_env.sh
source "$(dirname "$0")/wine_env.sh"
windows_cli="$windows_build/viewer/cli/tessaro-cli.exe"
[ -f "$windows_cli" ] || skip "no $windows_cli (scripts/cross_build.sh makes it)"
command -v python3 >/dev/null || skip "python3 is needed to write the .zgl document"
wine_prepare "$work"
# The wine server and its services start here, their output away from the pipes below:
# otherwise each capture would wait for them to exit, seconds after every run. A server
# left by making the prefix refuses a second one, so it is let go first.
"$wineserver" -w
"$wineserver" -p 60
"$wine" wineboot >/dev/null 2>&1

docs="$work/check-documents"
rm -rf "$docs"
mkdir -p "$docs"

lighting='<Lighting><Ambient>0 0 0</Ambient></Lighting>'
background='<Background><BackColor>0 0 0</BackColor></Background>'
valid="<WORLD>$lighting$background<Mat ID=\"1\"><Amb>0 0 0</Amb><Diff>1 1 1</Diff></Mat>\
<Mesh><P ID=\"1\">0 0 0</P><P ID=\"2\">1 0 0</P><P ID=\"3\">0 1 0</P><F><MatRef>1</MatRef>\
<FV1><PRef>1</PRef></FV1><FV2><PRef>2</PRef></FV2><FV3><PRef>3</PRef></FV3></F></Mesh></WORLD>\n"

# name, then the document as printf %b reads it.
table=(
    mismatched-tag.xgl '<WORLD>\n<Object>\n</WORLD>'
    no-element.xgl '\n\n'
    not-well-formed.xgl '<WORLD>\n<a &>'
    bad-reference.xgl '<WORLD>\n\n<a>&</a></WORLD>'
    undefined-entity.xgl '<WORLD>\n<a>&nbsp;</a></WORLD>'
    control-character.xgl '<WORLD>\n<a>\x01</a></WORLD>'
    unclosed-token.xgl '<WORLD>\n<Object'
    junk-after-root.xgl "<WORLD>$lighting$background</WORLD>\n\n<x/>"
    cut-in-element.xgl '<WORLD><MESH>'
    cut-in-text.xgl '<WORLD>\n<Mesh><P ID="1">1 2'
    cut-in-tag.xgl '<WORLD>\n<Mesh\n'
    cut-in-attribute.xgl '<WORLD>\n<Mesh><P ID="1'
    cut-in-end-tag.xgl '<WORLD><Mesh></Me'
    cut-in-comment.xgl '<WORLD>\n<!-- a\nb'
    cut-in-cdata.xgl '<WORLD>\n<![CDATA[a\nb'
    prefixed-names.xgl "<a:WORLD x:y=\"1\">$lighting$background</a:WORLD>"
    message-29-no-lighting.xgl '<WORLD></WORLD>'
    message-2-material-without-id.xgl '<WORLD><Mat/></WORLD>'
    message-6-position-without-id.xgl '<WORLD><Mesh><P>1 2 3</P></Mesh></WORLD>'
    message-8-object-attribute.xgl '<WORLD><Object Colour="red"></Object></WORLD>'
    message-85-unreadable-number.xgl "<WORLD>$lighting$background<Mesh><P ID=\"x\">1 2 3</P></Mesh></WORLD>"
    valid.xgl "$valid"
    valid-crlf.xgl "${valid//>/>\\r\\n}"
)
for ((i = 0; i < ${#table[@]}; i += 2)); do
    printf '%b' "${table[i + 1]}" > "$docs/${table[i]}"
done
printf '%b' "$valid" | python3 -c \
    'import sys, zlib; sys.stdout.buffer.write(zlib.compress(sys.stdin.buffer.read(), 9))' \
    > "$docs/valid.zgl"
head -c 40 "$docs/valid.zgl" > "$docs/cut-compressed.zgl"
cp "$(dirname "$0")"/../../samples/*.[xz]gl "$docs/"
names=(valid.zgl cut-compressed.zgl missing.xgl)
for sample in "$(dirname "$0")"/../../samples/*.[xz]gl; do names+=("$(basename "$sample")"); done
for ((i = 0; i < ${#table[@]}; i += 2)); do names+=("${table[i]}"); done

# Both programs run in the documents' folder on the bare name, so that a message
# naming the file names it the same way.
run() {
    (cd "$docs" && "$@" 2>&1; echo "exit $?") | tr -d '\r'
}

started=$(date +%s%N)
differences=0
printf '%-36s %-4s %s\n' DOCUMENT SAME "LINUX OUTPUT (exit code)"
for name in "${names[@]}"; do
    linux=$(run "$linux_cli" check "$name")
    windows=$(run "$wine" "$windows_cli" check "$name")
    same=yes
    if [ "$linux" != "$windows" ]; then
        same=NO
        differences=$((differences + 1))
    fi
    printf '%-36s %-4s %s\n' "$name" "$same" "$(echo "$linux" | paste -sd' ')"
    [ "$same" = yes ] || printf '%-36s      windows: %s\n' "" "$(echo "$windows" | paste -sd' ')"
done
echo "${#names[@]} documents compared, $differences differences," \
    "$((($(date +%s%N) - started) / 1000000)) ms"
[ "$differences" = 0 ]
