#!/bin/sh
# Runs a window test on a virtual X server; exit code 77 tells CTest it was skipped.
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "skipped: xvfb-run is not installed"
    exit 77
fi
# -noreset: the server must not restart when one test closes its last connection while the
# next test opens a new one.
SDL_VIDEODRIVER=x11 exec xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" "$@"
