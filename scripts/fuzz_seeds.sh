#!/usr/bin/env bash
# Regenerates the seed corpora of the image-reader and save-file fuzz targets in fuzz/corpus/
# from the encoders and fixtures the tests use. Needs a built test tree (./test.sh) or builds
# one.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/test-asan
[ -x "$build/test_media" ] && [ -x "$build/test_game" ] || ./test.sh -R FuzzSeeds >/dev/null
ZR_FUZZ_SEEDS="$PWD/fuzz/corpus" ASAN_OPTIONS=detect_leaks=1 \
  "$build/test_media" --gtest_filter='FuzzSeeds.*'
ZR_FUZZ_SEEDS="$PWD/fuzz/corpus" ASAN_OPTIONS=detect_leaks=1 \
  "$build/test_game" --gtest_filter='GameFuzzSeeds.*'
