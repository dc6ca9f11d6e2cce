#!/usr/bin/env bash
# Regenerates the seed corpora of the image-reader fuzz targets in fuzz/corpus/ from the
# encoders the media tests use. Needs a built test tree (./test.sh) or builds one.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/test-asan
[ -x "$build/test_media" ] || ./test.sh -R FuzzSeeds >/dev/null
ZR_FUZZ_SEEDS="$PWD/fuzz/corpus" ASAN_OPTIONS=detect_leaks=1 \
  "$build/test_media" --gtest_filter='FuzzSeeds.*'
