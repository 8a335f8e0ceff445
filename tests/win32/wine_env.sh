# Sourced by the wine tests: finds wine or skips (exit 77) saying why, and prepares the
# wine prefix under WORK ($1 of the sourcing script's call to wine_prepare).

skip() {
    echo "SKIPPED: $*"
    exit 77
}

# Sets $wine and $wineserver, and WINEPREFIX to $1/wineprefix (made when missing, with
# the time it took printed); the prefix's processes are ended when the test exits.
wine_prepare() {
    wine="$(command -v wine64 || command -v wine || true)"
    [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
    [ -n "$wine" ] || skip "wine is not installed"
    wineserver="$(dirname "$wine")/wineserver"
    [ -x "$wineserver" ] || wineserver="$(command -v wineserver || echo "${wine%64}server64")"
    mkdir -p "$1"
    export WINEPREFIX="$1/wineprefix" WINEDEBUG=-all
    trap '"$wineserver" -k 2>/dev/null || true' EXIT
    if [ ! -d "$WINEPREFIX" ]; then
        local started
        started=$(date +%s%N)
        "$wine" wineboot -i >/dev/null 2>&1
        echo "wine prefix made in $((($(date +%s%N) - started) / 1000000)) ms"
    fi
}

# For the screenshot tests of Tessaro.exe: skips without the program ($1) or the X
# tools, and otherwise runs the calling script again on a virtual display of its own,
# so that no other test's window is in its screenshots (pass the script's arguments).
tessaro_screenshot_start() {
    local exe="$1"
    shift
    [ -f "$exe" ] || skip "no $exe (scripts/cross_build.sh makes it)"
    local tool
    for tool in xvfb-run xwininfo xdotool; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
    if [ -z "${TESSARO_WINE_DISPLAY:-}" ]; then
        TESSARO_WINE_DISPLAY=1 exec env -u DISPLAY xvfb-run -a -s "-screen 0 1024x768x24" \
            bash "$0" "$@"
    fi
}
