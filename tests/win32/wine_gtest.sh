#!/usr/bin/env bash
# Runs a GoogleTest program of the Windows cross build under wine.
# Usage: wine_gtest.sh PROGRAM.exe WORK
set -euo pipefail
program="$1" work="$2"
# shellcheck source=wine_env.sh
source "$(dirname "$0")/wine_env.sh"
[ -f "$program" ] || skip "no $program (scripts/cross_build.sh makes it)"
wine_prepare "$work"
"$wine" "$program" --gtest_brief=1
