#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer and runs the
# test suite. `./test.sh --tsan` builds with ThreadSanitizer instead. The exit code is the result.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh

mode=asan
if [ "${1:-}" = "--tsan" ]; then mode=tsan; shift; fi

build=build/test-$mode
flags=(-DZR_SANITIZE=ON)
if [ $mode = tsan ]; then flags=(-DZR_TSAN=ON); fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
