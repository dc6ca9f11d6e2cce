#!/usr/bin/env bash
# Builds the game in Release and starts it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZR_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
exec build/release/solvane "$@"
