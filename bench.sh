#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them: `./bench.sh` runs all of them,
# `./bench.sh NAME [benchmark flags]` runs bench_NAME.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZR_TESTS=OFF -DZR_BENCH=ON >/dev/null
cmake --build build/bench -j "$(nproc)"
if [ $# -gt 0 ]; then
  name=$1; shift
  exec "build/bench/bench_$name" "$@"
fi
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
