#!/usr/bin/env bash
# Regenerates the seed corpora of the image-reader, save-file and script-file fuzz targets in
# fuzz/corpus/ with the fuzzseeds tool, which uses the media tests' encoders, the save fixture
# and the script assembler. Builds it when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/test-asan
if [ ! -f "$build/build.ninja" ]; then
  ./test.sh -R '^nypack' >/dev/null
fi
cmake --build "$build" --target fuzzseeds >/dev/null
ASAN_OPTIONS=detect_leaks=1 "$build/tools/fuzzseeds" "$PWD/fuzz/corpus"
