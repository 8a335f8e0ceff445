#!/usr/bin/env bash
# Installs what is needed, builds the programs and checks the bundled sample model.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
for f in samples/*.xgl samples/*.zgl; do
    [ -e "$f" ] || continue
    echo "tessaro-cli check $f"
    build/viewer/cli/tessaro-cli check "$f" && echo "  valid"
done
