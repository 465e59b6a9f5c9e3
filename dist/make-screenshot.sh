#!/bin/bash
# Takes the screenshot that the AppStream metadata shows, from the real game:
# the built launcher runs under Xvfb in a scratch player's folder, key presses
# pass the intro, start a new game and skip the story, Floob walks right for a
# moment in level 1, and the screen is saved as dist/screenshots/level1.png.
# Needs a built tree and Debian's xvfb, xdotool, x11-apps and imagemagick.
#   dist/make-screenshot.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
out=$top/dist/screenshots/level1.png
convert=/usr/bin/convert-im6.q16
for tool in Xvfb xdotool xwd xwininfo "$convert"; do
    command -v "$tool" >/dev/null || { echo "make-screenshot: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid="" game_pid=""
cleanup() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

display=""
for n in $(seq 150 190); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
        DISPLAY=":$n" xwininfo -root >/dev/null 2>&1 && { display=":$n"; break; }
        sleep 0.1
    done
    [ -n "$display" ] && break
    kill "$xvfb_pid" 2>/dev/null; xvfb_pid=""
done
[ -n "$display" ] || { echo "make-screenshot: no X server could be started" >&2; exit 1; }
export DISPLAY=$display

FLOOB2_HOME=$work/home SDL_AUDIODRIVER=dummy "$build/launcher/floob2" >"$work/game.log" 2>&1 &
game_pid=$!
sleep 2
xdotool mousemove 320 240

# Share of lit pixels on the screen, in percent: the title lights most of it.
lit() {
    xwd -root -silent | tail -c $((640 * 480 * 4)) | od -An -v -tu4 -w4 |
        awk '$1 % 16777216 != 0 { n++ } END { printf "%d\n", n * 100 / (640 * 480) }'
}
# Return until the title shows, until the story darkens the screen (the main
# menu, then NEW GAME), and until level 1 lights it again.
press_until() {
    for _ in $(seq 1 60); do
        [ "$(lit)" "$1" 40 ] && return 0
        xdotool key --delay 60 Return
        sleep 1
    done
    echo "make-screenshot: the game did not get there; its output:" >&2
    cat "$work/game.log" >&2
    exit 1
}
press_until -ge
press_until -lt
press_until -ge
sleep 4
xdotool keydown Right
sleep 1.5
xdotool keyup Right
sleep 0.3
mkdir -p "$(dirname "$out")"
xwd -root -silent | "$convert" xwd:- -strip -define png:compression-level=9 "png:$out"
echo "make-screenshot: wrote $out"
