#!/bin/sh
# Plays the demo with the keyboard alone in a real window on a virtual X server:
#   keyboard_under_xvfb.sh PROBE DEMO_DATA
# PROBE (keyboard_probe.cpp) is the game with a driver that sends X key events through
# xdotool. It runs from a scratch folder holding links to the demo data, a copy of its
# settings and a hard link (or copy) of itself, since the game finds its data beside its
# executable. Exit code 77 tells CTest it was skipped.
set -eu
probe=$1
data=$(cd "$2" && pwd)
for tool in xvfb-run xdotool; do
    if ! command -v $tool >/dev/null 2>&1; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for f in "$data"/*; do
    name=$(basename "$f")
    case $name in
    made.stamp) ;;
    Solvane.ini) cp "$f" "$dir/$name" ;;
    *) ln -s "$f" "$dir/$name" ;;
    esac
done
ln "$probe" "$dir/probe" 2>/dev/null || cp "$probe" "$dir/probe"
cd "$dir"
SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy SOLVANE_INSTANCE_NAME=keyboard-$$ \
    xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ./probe
