#!/bin/sh
# Runs a window test on a virtual X server; exit code 77 tells CTest it was skipped.
#   run_under_xvfb.sh [--window-manager] PROGRAM [ARGS...]
# With --window-manager, openbox manages the server's windows and the program starts once it
# has taken the screen.
if [ "${1:-}" = --managed ]; then
    # Inside the server (run by the line at the end).
    shift
    log=$(mktemp)
    openbox --sm-disable >"$log" 2>&1 &
    wm=$!
    # The manager announces itself on the root window once it manages the screen.
    tries=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
        tries=$((tries + 1))
        if [ $tries -gt 200 ] || ! kill -0 $wm 2>/dev/null; then
            echo "openbox did not take the screen within 20 s:" >&2
            cat "$log" >&2
            kill $wm 2>/dev/null
            rm -f "$log"
            exit 1
        fi
        sleep 0.1
    done
    "$@"
    rc=$?
    kill $wm 2>/dev/null
    wait $wm 2>/dev/null
    rm -f "$log"
    exit $rc
fi
tools=xvfb-run
if [ "${1:-}" = --window-manager ]; then
    shift
    tools="$tools openbox xprop"
    set -- "$0" --managed "$@"
fi
for tool in $tools; do
    if ! command -v $tool >/dev/null 2>&1; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done
# -noreset: the server must not restart when one test closes its last connection while the
# next test opens a new one.
SDL_VIDEODRIVER=x11 exec xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" "$@"
