#!/usr/bin/env bash
# Installs the Khronos glTF validator (the npm package gltf-validator) into DIR for the
# ecosystem tests, unless it is there already. Never fails: a validator that cannot be
# installed is reported here and the validator test skips, saying why.
# Usage: install_gltf_validator.sh DIR
set -uo pipefail
dir="$1"
version=2.0.0-dev.3.10
mkdir -p "$dir"
if [ -f "$dir/node_modules/gltf-validator/package.json" ]; then
    echo "gltf-validator is installed in $dir"
    exit 0
fi
if ! command -v npm >/dev/null || ! command -v node >/dev/null; then
    echo "node and npm are missing: cannot install gltf-validator" | tee "$dir/unavailable"
    exit 0
fi
if npm install --no-audit --no-fund --prefix "$dir" "gltf-validator@$version" >"$dir/npm.log" 2>&1; then
    rm -f "$dir/unavailable"
    echo "installed gltf-validator $version in $dir"
else
    echo "npm could not install gltf-validator: $(tail -n 3 "$dir/npm.log" | tr '\n' ' ')" |
        tee "$dir/unavailable"
fi
exit 0
