#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one of them, or all of them:
#   ./fuzz.sh TARGET SECONDS [OPTION...]  runs fuzz_TARGET for SECONDS on a copy of its seeds
#   ./fuzz.sh --all SECONDS [OPTION...]   runs every target for SECONDS each
# OPTIONs go to libFuzzer as they are, e.g. -timeout=10 (a per-input time-out: a decoder that
# stalls on a damaged file is a finding like a crash).
# Seeds live in fuzz/corpus/TARGET; findings are written to build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
if [ $# -lt 2 ]; then echo "usage: $0 TARGET|--all SECONDS [OPTION...]" >&2; exit 2; fi
target=$1 secs=$2
shift 2
options=("$@")

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZR_TESTS=OFF -DZR_FUZZ=ON >/dev/null
cmake --build build/fuzz -j "$(nproc)"

run_one() {
  local t=$1
  local work=build/fuzz/corpus/$t
  mkdir -p "$work" build/fuzz/findings
  if [ -d "fuzz/corpus/$t" ]; then cp -r "fuzz/corpus/$t/." "$work/"; fi
  echo "== fuzz_$t for ${secs}s"
  "build/fuzz/fuzz_$t" "$work" -max_total_time="$secs" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/findings/$t-" "${options[@]}" 2>&1 |
    grep -E 'stat::|DONE|Done|ERROR|SUMMARY|TIMEOUT' || true
  return "${PIPESTATUS[0]}"
}

if [ "$target" = "--all" ]; then
  status=0
  for f in build/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    run_one "${f##*/fuzz_}" || status=1
  done
  exit $status
fi
run_one "$target"
