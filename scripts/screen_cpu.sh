#!/usr/bin/env bash
# Plays the demo on a virtual X server as a player would (xdotool clicks and keys) and prints
# the game's CPU use, as a share of one core, on each screen it passes: the opening movie, the
# title, typing, a click wait, the choice in the rain, the spinning reels, the heroine choice
# and the won screen. The title and the click wait are the unchanged screens the moving ones
# stand beside.
#
#   scripts/screen_cpu.sh [GAMEDIR]
#
# GAMEDIR holds a Release build's program and its demo data (default build/release, as
# ./run.sh makes it). The run plays a scratch copy in which the first battle's enemy falls to
# the first hit, so the won screen is reached without luck; screenshots of every measured
# screen go to build/screen_cpu/. Last, with the game closed, the peer: a process that only
# wakes up as often as the game does on a still screen (scripts/wakeups_alone.cpp), the floor
# under the unchanged screens.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(realpath "${1:-build/release}")
out=$PWD/build/screen_cpu
# Xvfb and xdotool come with the test set-up; import is ImageMagick's (apt-get install imagemagick).
for tool in Xvfb xdotool import; do
    command -v $tool >/dev/null || { echo "screen_cpu.sh: $tool is needed (import: Debian's imagemagick)" >&2; exit 2; }
done
[ -x "$src/solvane" ] && [ -f "$src/scr_c.pak" ] || { echo "screen_cpu.sh: no game in $src (run ./run.sh once)" >&2; exit 2; }

rm -rf "$out" && mkdir -p "$out/game" "$out/x"
${CXX:-c++} -O2 -std=c++20 -pthread -o "$out/wakeups_alone" scripts/wakeups_alone.cpp
for f in EvBG.pak EvCG.pak EvSE.pak BGM Movie Battle Voice; do ln -s "$src/$f" "$out/game/$f"; done
cp "$src/solvane" "$src/Solvane.ini" "$src/scr_c.pak" "$out/game/"
"$src/tools/nypack" extract "$out/game/scr_c.pak" -o "$out/x" BtlData.csv >/dev/null
sed -i 's/^#first,0,4,[0-9]*,/#first,0,4,1,/' "$out/x/BtlData.csv"
"$src/tools/nypack" delete "$out/game/scr_c.pak" BtlData.csv >/dev/null
"$src/tools/nypack" add "$out/game/scr_c.pak" "$out/x/BtlData.csv" >/dev/null

# The X server takes the first free display number and writes it to the pipe when it is ready.
game=
stop() {
    # Only the script itself: a subshell forked for the game inherits the trap until it execs.
    [ "$BASHPID" = $$ ] || return 0
    # Each step may find its process gone already; none of them may keep the next from running.
    [ -z "$game" ] || { kill "$game" 2>/dev/null && sleep 0.5; } || true
    kill "$xvfb" 2>/dev/null || true
}
exec 3< <(exec Xvfb -displayfd 1 -screen 0 1920x1080x24 2>/dev/null)
xvfb=$!
trap stop EXIT
read -r -t 10 number <&3 || { echo "screen_cpu.sh: Xvfb did not start" >&2; exit 2; }
export DISPLAY=:$number
(cd "$out/game" && SDL_AUDIODRIVER=dummy SOLVANE_INSTANCE_NAME=screen-cpu-$$ exec ./solvane) \
    >"$out/game.log" 2>&1 &
game=$!

hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$game/stat"; }
# measure NAME SECONDS: CPU of the game over that many seconds, then a screenshot.
measure() {
    local a b
    a=$(ticks); sleep "$2"; b=$(ticks)
    awk -v n="$1" -v a="$a" -v b="$b" -v s="$2" -v hz="$hz" \
        'BEGIN { printf "%-34s %5.1f %% of a core over %s s\n", n, (b - a) / hz / s * 100, s }'
    shot "$1"
}
# The window stands in the middle of the 1920 x 1080 screen.
shot() { import -window root -crop 1280x720+320+180 "$out/${1// /_}.png"; }
click() { xdotool mousemove $((320 + $1)) $((180 + $2)) click 1; away; }
away() { xdotool mousemove 1900 1070; }
# A key held as long as a finger holds it: the game reads the keys once a frame.
press() { xdotool mousemove 960 890 keydown "$1"; sleep 0.08; xdotool keyup "$1"; away; }
readon() { for _ in $(seq "$1"); do click 640 400; sleep 2; done; }
# rgb X Y: the screen's colour at a point of the game, as "R G B".
rgb() {
    import -window root -crop 1x1+$((320 + $1))+$((180 + $2)) +repage miff:- |
        convert - -format '%[fx:round(255*r)] %[fx:round(255*g)] %[fx:round(255*b)]\n' info:
}
# until_seen WHAT TEST KEY X Y [X Y ...]: waits up to 40 s until the colour at every point
# passes TEST (an awk condition on r, g, b) twice in a row, half a second apart, pressing
# KEY (unless "-") every 1.5 s meanwhile.
until_seen() {
    local what=$1 test=$2 key=$3 hits=0
    shift 3
    for i in $(seq 80); do
        local ok=1 x y
        for ((k = 1; k <= $#; k += 2)); do
            x=${!k}; y=$((k + 1)); y=${!y}
            rgb "$x" "$y" | awk "{ r = \$1; g = \$2; b = \$3; exit !($test) }" || { ok=0; break; }
        done
        if [ $ok = 1 ]; then
            hits=$((hits + 1))
            [ $hits = 2 ] && return 0
        else
            hits=0
            if [ "$key" != - ] && [ $((i % 3)) = 1 ]; then press "$key"; fi
        fi
        sleep 0.5
    done
    echo "screen_cpu.sh: $what never came (see ${what// /_}.png)" >&2
    shot "$what"
    return 1
}

away
sleep 3
click 640 360            # past the title call
sleep 0.5
measure "opening movie" 4
sleep 2
measure "title (unchanged)" 10
click 640 305            # start: the street fades in, then the guide's first line types
sleep 4
measure "first page typing" 1.5
sleep 1
measure "click wait" 10
readon 14                # to the choice
measure "choice in the rain" 10
click 720 174            # the library
sleep 2
readon 9                 # into the first battle
sleep 2
measure "reels spinning" 10
# The selection's violet banner, then the won screen's golden one.
until_seen "the heroine choice" 'b > 110 && b > r + 30 && g < 90' Return 400 190 640 190 880 190
sleep 2
measure "heroine choice (unchanged)" 5
press Return
until_seen "the won screen" 'r > 170 && g > 150 && b < r - 30' - 400 30 520 30 880 30
sleep 2
measure "won screen (unchanged)" 10
kill $game 2>/dev/null && wait $game 2>/dev/null || true
game=
"$out/wakeups_alone" 10
echo "screenshots: $out"
