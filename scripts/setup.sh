#!/usr/bin/env bash
# Installs the Debian packages that building and testing need; skips what is present.
# Usage: scripts/setup.sh [PACKAGE...]   (with names, installs only those)
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache
    libexpat1-dev zlib1g-dev libminizip-dev
    libgl-dev libegl-dev libopengl-dev libgl1-mesa-dri libegl-mesa0
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins xvfb xauth
    # Plotwick writes sheets as SVG (Qt's SVG generator); the tests rasterise its SVG
    # and PDF sheets with outside tools and read the PDF's pages and text.
    qt6-svg-dev librsvg2-bin poppler-utils
    libturbojpeg0-dev
    # CCITT Group 4 images in DWF sheets are decoded with libtiff.
    libtiff-dev
    # Texts of DWF sheets in any script: a fallback font with CJK glyphs, which Qt
    # takes through fontconfig when a sheet's font lacks them.
    fonts-droid-fallback
    clang libclang-rt-14-dev
    # The packaged viewer: the NSIS compiler builds it, a Windows test program built
    # with mingw-w64 stands in for the viewer, and 64-bit wine runs it in the tests.
    nsis g++-mingw-w64-x86-64 wine64
    # The wine tests read a Windows program's peak memory with /usr/bin/time.
    time
    # Answers the packaged DWF executable's question under Xvfb.
    xdotool
    # An outside VRML 97 reader (VTK's importer) checks the host's VRML copies.
    python3-vtk9
    # The Debian package is checked with lintian before it is installed.
    lintian
    # tessaro-cli convert: the glTF document's JSON and the texture images' PNG; assimp
    # reads the exports back in the ecosystem tests.
    nlohmann-json3-dev libpng-dev assimp-utils
)
# The ecosystem tests install the Khronos glTF validator with npm. A node that came
# from elsewhere brings its own npm, which Debian's npm package would conflict with.
command -v npm >/dev/null || packages+=(nodejs npm)

[ $# -gt 0 ] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo_cmd apt-get -o DPkg::Lock::Timeout=900 update -q
    $sudo_cmd apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"
fi
