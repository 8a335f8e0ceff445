#!/usr/bin/env bash
# tessaro-cli render's --turn and --headlight reach the picture: a turn inside the
# drag dead zone changes nothing, a longer one does, the headlight brightens a
# document lit by ambient light alone, and malformed values are refused.
set -euo pipefail
cli="$1"
sample="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

draw() { "$cli" render "$1" -o "$work/$2.png" --size 64x48 "${@:3}"; }
same() { cmp -s "$work/$1.png" "$work/$2.png"; }

draw "$sample" plain
draw "$sample" dead_zone --turn 2,-2
draw "$sample" turned --turn -60,40
same plain dead_zone || { echo "a turn inside the dead zone changed the picture"; exit 1; }
! same plain turned || { echo "--turn -60,40 left the picture as it was"; exit 1; }

dim="$work/dim.xgl"
printf '%s' '<WORLD><BACKGROUND><BACKCOLOR>1 1 1</BACKCOLOR></BACKGROUND><LIGHTING><AMBIENT>0.2 0.2 0.2</AMBIENT></LIGHTING><MESH><MAT ID="1"><AMB>0.2 0.2 0.2</AMB><DIFF>0.1 0.8 0.1</DIFF></MAT><F><MATREF>1</MATREF><FV1><P>0 0 0</P></FV1><FV2><P>1 0 0</P></FV2><FV3><P>1 1 0</P></FV3></F></MESH></WORLD>' >"$dim"
draw "$dim" dim
draw "$dim" lit --headlight
! same dim lit || { echo "--headlight left an ambient-only picture as it was"; exit 1; }

for bad in "--turn 1" "--turn a,b" "--turn 20000,0"; do
    # shellcheck disable=SC2086  # the option and its value
    if draw "$sample" bad $bad 2>/dev/null; then echo "accepted $bad"; exit 1; fi
done
echo "render options reach the picture"
