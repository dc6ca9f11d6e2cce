#!/usr/bin/env bash
# Builds the game in Release, makes the demo data beside the program and starts it in a
# window. Without a display the game runs on a virtual X server (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZR_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
build/release/tools/mkdemo build/release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display here; starting the game on a virtual X server (xvfb-run)" >&2
    exec xvfb-run -a -s "-screen 0 1920x1080x24" build/release/solvane "$@"
fi
exec build/release/solvane "$@"
