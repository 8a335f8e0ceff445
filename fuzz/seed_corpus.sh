#!/usr/bin/env bash
# Collects every document that the parser tests parse, plus the sample models, as
# seed inputs of the read-path fuzzer in tests/data/fuzz-corpus/. Plain documents get
# the mode byte 0; the samples and a few of the larger test documents are also added
# as zlib streams with mode byte 1, so the inflating path starts from real ZGL data.
# Usage: fuzz/seed_corpus.sh [BUILD_DIR]   (a TESSARO_FUZZ build, default build-fuzz)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-fuzz}"
corpus="$root/tests/data/fuzz-corpus"
max_bytes=20000

cmake --build "$build" --target test_document_tap >/dev/null
mkdir -p "$corpus"
TESSARO_TAP_DIR="$corpus" TESSARO_TAP_MAX_BYTES="$max_bytes" \
    "$build/fuzz/test_document_tap" --gtest_brief=1 >/dev/null

# mode byte, then the bytes of a file or the zlib stream of a plain one
python3 - "$corpus" "$max_bytes" "$root/samples" <<'PY'
import hashlib, os, sys, zlib
corpus, limit, samples = sys.argv[1], int(sys.argv[2]), sys.argv[3]

def add(name, data):
    if len(data) <= limit:
        with open(os.path.join(corpus, name), "wb") as out:
            out.write(data)

def digest(data):
    return hashlib.sha1(data).hexdigest()[:16]

for entry in sorted(os.listdir(samples)):
    data = open(os.path.join(samples, entry), "rb").read()
    stem = os.path.splitext(entry)[0]
    if entry.lower().endswith(".xgl"):
        add("sample-" + stem + "-plain", b"\0" + data)
        add("sample-" + stem + "-inflate", b"\1" + zlib.compress(data, 9))
    elif entry.lower().endswith(".zgl"):
        add("sample-" + stem + "-inflate", b"\1" + data)

tests = sorted((f for f in os.listdir(corpus) if f.startswith("test-")),
               key=lambda f: -os.path.getsize(os.path.join(corpus, f)))
for entry in tests[:20]:
    plain = open(os.path.join(corpus, entry), "rb").read()[1:]
    add("test-inflate-" + digest(plain), b"\1" + zlib.compress(plain, 9))
PY
echo "$(ls "$corpus" | wc -l) seed inputs in $corpus"
