#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer and runs the
# test suite. The exit code is the result.
#   ./test.sh [ctest args]            AddressSanitizer and UndefinedBehaviorSanitizer
#   ./test.sh --tsan [ctest args]     ThreadSanitizer
#   ./test.sh --release [ctest args]  Release build without sanitizers, glibc's heap checks on:
#                                     sees writes by outside libraries (FFmpeg, mpg123, libpng)
#                                     past our buffers, which the sanitizers cannot
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh

mode=asan
case "${1:-}" in
  --tsan) mode=tsan; shift ;;
  --release) mode=release; shift ;;
esac

build=build/test-$mode
flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1")
case $mode in
  asan) flags+=(-DZR_SANITIZE=ON) ;;
  tsan) flags+=(-DZR_TSAN=ON) ;;
  release) flags=(-DCMAKE_BUILD_TYPE=Release) ;;
esac

cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# ThreadSanitizer writes its reports to files in the build folder, not to stderr: a test that
# captures stderr would otherwise swallow them. They are printed at the end.
reports=$PWD/$build/tsan-reports
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp log_path=$reports/report log_exe_name=1"
if [ $mode = release ]; then
  # On this glibc MALLOC_CHECK_ acts only with the debug allocator preloaded. Every block is
  # filled with a pattern when it is freed and when it is handed out, so stale reads show too.
  heap=(LD_PRELOAD=libc_malloc_debug.so.0 MALLOC_CHECK_=3 MALLOC_PERTURB_=165)
  # The checks must be live here: a program that writes past its block has to fail.
  probe=$build/heap-probe
  printf '%s\n' '#include <stdlib.h>' '#include <string.h>' \
    'int main(void) { volatile char* p = malloc(24); memset((char*)p, 1, 40); free((char*)p);' \
    'return 0; }' | cc -O0 -w -x c - -o "$probe"
  if env "${heap[@]}" "$probe" 2>/dev/null; then
    echo "test.sh: glibc's heap checks are not active; the Release pass would see nothing" >&2
    exit 1
  fi
  cd "$build"
  env "${heap[@]}" ctest --output-on-failure -j "$(nproc)" "$@"
  exit
fi
cd "$build"
if [ $mode != tsan ]; then
  ctest --output-on-failure -j "$(nproc)" "$@"
  exit
fi
rm -rf "$reports"
mkdir -p "$reports"
status=0
ctest --output-on-failure -j "$(nproc)" "$@" || status=$?
shopt -s nullglob
files=("$reports"/report.*)
if [ ${#files[@]} -gt 0 ]; then
  for f in "${files[@]}"; do
    echo "==== ThreadSanitizer report file $f"
    cat "$f"
  done
  warnings=$(grep -c '^WARNING: ThreadSanitizer' "${files[@]}" | awk -F: '{n += $NF} END {print n}')
  echo "test.sh: ThreadSanitizer wrote ${#files[@]} report file(s) with $warnings warning(s)" \
    "(file names: executable.pid)" >&2
  [ $status -ne 0 ] || status=1
fi
exit $status
