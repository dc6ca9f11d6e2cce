#!/bin/sh
# Runs a window test on a virtual X server; exit code 77 tells CTest it was skipped.
#   run_under_xvfb.sh [--window-manager] PROGRAM [ARGS...]
# With --window-manager the program starts once openbox manages the server's screen.
if [ "${1:-}" = --managed ]; then  # inside the server, run by the last line
    shift
    openbox --sm-disable &
    # The manager announces itself on the root window once it manages the screen; the test
    # tells if it never does.
    for i in $(seq 200); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.1
    done
    "$@"
    rc=$?
    kill $!
    exit $rc
fi
tools=xvfb-run
if [ "${1:-}" = --window-manager ]; then
    shift
    tools="$tools openbox xprop"
    set -- "$0" --managed "$@"
fi
for tool in $tools; do
    command -v $tool >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
# -noreset: the server must not restart when one test closes its last connection while the
# next test opens a new one.
SDL_VIDEODRIVER=x11 exec xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" "$@"
