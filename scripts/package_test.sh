#!/usr/bin/env bash
# Builds the Debian package from a build folder (default build), checks it with
# lintian (an error fails), installs it with apt-get, runs tessaro-cli and plotwick
# from /usr/bin on the samples and removes it again. Installing needs root (or sudo);
# without either, the package is built and checked but not installed, and it says so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"

rm -f "$build"/tessaro_*.deb
cmake --build "$build" >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/tessaro_*_amd64.deb)"
echo "Built $(basename "$deb")"

# lintian: errors fail the run, warnings are listed.
report="$(lintian --tag-display-limit 0 "$deb" || true)"
[ -n "$report" ] && echo "$report"
if grep -q '^E:' <<<"$report"; then
    echo "lintian reports errors" >&2
    exit 1
fi

as_root=""
if [ "$(id -u)" -ne 0 ]; then
    if sudo -n true 2>/dev/null; then
        as_root="sudo"
    else
        echo "SKIPPED installing $(basename "$deb"): needs root or password-less sudo"
        exit 0
    fi
fi
if dpkg-query -W -f='${Status}' tessaro 2>/dev/null | grep -q "install ok installed"; then
    echo "A tessaro package is installed already; it is replaced and removed afterwards"
fi

export DEBIAN_FRONTEND=noninteractive
remove() { $as_root apt-get remove --purge -y -q tessaro >/dev/null; }
trap remove EXIT
$as_root apt-get -o DPkg::Lock::Timeout=900 install -y -q "$deb" >/dev/null

work="$(mktemp -d)"
for sample in "$root"/samples/*.xgl "$root"/samples/*.zgl; do
    /usr/bin/tessaro-cli check "$sample"
done
/usr/bin/tessaro-cli render "$root/samples/house.xgl" -o "$work/house.png" --size 320x240
QT_QPA_PLATFORM=offscreen /usr/bin/plotwick --render "$root/tests/data/translucent-shapes.w2d" \
    -o "$work/sheet.png" --size 320x240
for picture in "$work/house.png" "$work/sheet.png"; do
    [ -s "$picture" ] || { echo "no picture: $picture" >&2; exit 1; }
done
for file in /usr/bin/tessaro /usr/bin/exportal-host /usr/lib/exportal/libexportal.so \
    /usr/share/doc/tessaro/index.html /usr/share/man/man1/tessaro-cli.1.gz \
    /usr/share/thumbnailers/tessaro.thumbnailer /usr/share/applications/plotwick.desktop; do
    [ -e "$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
rm -rf "$work"

trap - EXIT
remove
if [ -e /usr/bin/tessaro-cli ] ||
    dpkg-query -W -f='${Status}' tessaro 2>/dev/null | grep -q "install ok installed"; then
    echo "tessaro is still installed after removal" >&2
    exit 1
fi
echo "The package installed, ran and was removed"
