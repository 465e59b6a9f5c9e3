#!/bin/bash
# Smoke test of the real binary under Xvfb with SDL's X11 driver: the window
# appears with its caption, key presses pass the intro screens, the title is
# on screen, and Escape on the title ends the program with status 0.
# Called as: bash smoke_xvfb.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
caption="FLOOB 2 V1.10"

work=$(mktemp -d /tmp/floob2-smoke-XXXXXX)
xvfb_pid=""
game_pid=""

cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then kill -9 "$game_pid" 2>/dev/null; fi
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then kill "$xvfb_pid" 2>/dev/null; fi
    [ -n "$game_pid" ] && wait "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "smoke: FAILED at stage '$1': $2"
    if [ -s "$work/game.log" ]; then
        echo "--- game output ---"
        cat "$work/game.log"
    fi
    exit 1
}

for tool in Xvfb xwininfo xdotool xwd od awk; do
    command -v "$tool" >/dev/null || fail "tools" "$tool is not installed"
done
[ -x "$game" ] || fail "tools" "no game binary at $1"
[ -f "$build/data/gfx.qva" ] || fail "tools" "no built data in $build/data"

# Stage 1: an X server on a display number of its own choosing.
source "$(cd "$(dirname "$0")/../support" && pwd)/xvfb.sh"
start_xvfb "$work/xvfb.log" || fail "X server" "no Xvfb could be started"
display=$DISPLAY

# Stage 2: the game starts in a fresh run directory with the built data.
cd "$work" || fail "run directory" "cannot enter $work"
ln -s "$build/data" data || fail "run directory" "cannot link the data"
start_game_window "$caption" "$work/game.log" env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$game"
case $? in
    1) fail "window" "no window with the caption \"$caption\" after 20 s" ;;
    2) fail "window" "the game ended with status $game_status before its window appeared" ;;
esac
echo "smoke: window $window \"$caption\" on $display"

# Keyboard input goes where the pointer is; there is no window manager.
xdotool mousemove 320 240 >/dev/null 2>&1
xdotool windowfocus "$window" >/dev/null 2>&1

# Share of non-black pixels of the whole 640 x 480 screen, in percent.
lit_percent() {
    local pixels=$((640 * 480))
    xwd -root -silent 2>/dev/null | tail -c $((pixels * 4)) | od -An -v -tu4 -w4 |
        awk -v total="$pixels" '$1 % 16777216 != 0 { lit++ } END { printf "%d\n", lit * 100 / total }'
}

# Stage 3: the intro. The logo screen ends on a released Return once the logo
# has stopped (or when its jingle ends), the warning and credits screens on any
# key. The intro screens are black but for their texts and images; the title
# shows the level behind it and lights most of the screen. One key press at a
# time, and a look at the screen before the next, so that at most one press
# reaches the title (where Return only opens the main menu).
title=0
for _ in $(seq 1 120); do
    kill -0 "$game_pid" 2>/dev/null || break
    lit=$(lit_percent)
    if [ "${lit:-0}" -ge 40 ]; then
        title=1
        break
    fi
    xdotool key --delay 60 Return >/dev/null 2>&1
    sleep 0.5
done
if ! kill -0 "$game_pid" 2>/dev/null; then
    wait "$game_pid"
    fail "intro" "the game ended with status $? before the title showed"
fi
[ "$title" -eq 1 ] || fail "intro" "the title did not appear within 60 s of key presses (screen ${lit:-?}% lit)"
echo "smoke: title reached (${lit}% of the screen lit)"

# Stage 4: still running on the title a moment later, and the picture is not black.
sleep 1
kill -0 "$game_pid" 2>/dev/null || fail "title" "the game ended on the title without being asked"
lit=$(lit_percent)
[ "${lit:-0}" -gt 0 ] || fail "title" "the screen is all black on the title"

# Stage 5: Escape on the title ends the program without a question.
xdotool key --delay 60 Escape >/dev/null 2>&1
wait_game_end
status=$game_status
[ -n "$status" ] || fail "quit" "the game still runs 10 s after Escape on the title"
game_pid=""
[ "$status" -eq 0 ] || fail "quit" "the game ended with status $status after Escape, expected 0"
echo "smoke: Escape on the title ended the game with status 0"
exit 0
