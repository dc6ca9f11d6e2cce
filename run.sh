#!/usr/bin/env bash
# Builds the game in Release, makes the demo data beside the program when it is missing or
# older than its sources, and starts the game in a window. Without a display the game runs on
# a virtual X server (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZR_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"

out=build/release
stamp=$out/.demo-data
if [ ! -f "$stamp" ] || [ ! -f "$out/scr_c.pak" ] || [ "$out/tools/mkdemo" -nt "$stamp" ] ||
    [ -n "$(find demo tools -newer "$stamp" -name 'mkdemo*' -o -newer "$stamp" -path 'demo/*' -type f | head -1)" ]; then
    # The generator keeps music and movies that exist: drop them so they are made again.
    # Saves and settings beside the program are kept.
    rm -rf "$out/BGM" "$out/Movie" "$out/Battle" "$out/Voice"
    "$out/tools/mkdemo" "$out"
    touch "$stamp"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display here; starting the game on a virtual X server (xvfb-run)" >&2
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$out/solvane" "$@"
fi
exec "$out/solvane" "$@"
