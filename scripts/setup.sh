#!/usr/bin/env bash
# Installs the Debian packages that building and testing need; skips what is present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libexpat1-dev zlib1g-dev libminizip-dev
    libgl-dev libegl-dev libopengl-dev libgl1-mesa-dri libegl-mesa0
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins xvfb xauth
    libturbojpeg0-dev
    clang libclang-rt-14-dev
)

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
