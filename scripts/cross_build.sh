#!/usr/bin/env bash
# Cross-builds the Windows programs with Debian's mingw-w64, statically linked so that
# each .exe is one file. Installs the cross compiler and zlib for it when missing.
# Usage: scripts/cross_build.sh [BUILD_DIR] [cmake options...]   (default build-win)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-win}"
shift || true

bash "$root/scripts/setup.sh" mingw-w64 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
