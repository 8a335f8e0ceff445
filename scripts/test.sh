#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the whole suite in
# the normal build, then the core libraries' tests under AddressSanitizer and UBSan, then
# short runs of the read-path and DWF-reader fuzzers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh

# The Windows programs first, so that the suite's wine tests can run them.
bash scripts/cross_build.sh build-win
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The window tests need a display: a virtual one serves the whole run. Without
# -noreset the server restarts whenever its last client leaves, and a test that
# connects at that moment finds no display.
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
    ctest --test-dir build --output-on-failure -j "$(nproc)"

# The Debian package: built from that tree, checked, installed, run and removed.
bash scripts/package_test.sh build

bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSARO_SANITIZE=ON -DTESSARO_CORE_ONLY=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -L core

# A minute of fuzzing each reader; any finding fails the run (scripts/fuzz.sh).
bash scripts/fuzz.sh --smoke 60
bash scripts/fuzz.sh --smoke --dwf 60
