#!/bin/bash
# Big screens of both depths on a 1366 x 768 Xvfb screen, with the classic SDL
# 1.2 and with sdl12-compat: "-z4" does not fit there and opens the 960 x 720
# window of zoom 3 with one line on standard error; "-fsd" on a depth-24
# screen (32-bit pixels, the game converting its 16-bit picture) shows the
# same picture as on a depth-16 screen, pixel for pixel once the 16-bit
# colours are expanded: the warning screen of the intro, below its blinking
# title, compared in a screenshot of each.
# Called as: bash smoke_big_screens_depths.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
caption="FLOOB 2 V1.10"
compat_dir=/usr/lib/x86_64-linux-gnu/sdl12-compat
screen_w=1366
screen_h=768
# The 960 x 720 picture (zoom 3) centred; compared from frame row 80 down.
pic_x=203
pic_y=24
pic_w=960
first_row=$((pic_y + 3 * 80))
rows=$((3 * 160))

work=$(mktemp -d /tmp/floob2-depths-XXXXXX)
xvfb_pid=""
game_pid=""
library=""
cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then kill "$game_pid" 2>/dev/null; fi
    [ -n "$game_pid" ] && wait "$game_pid" 2>/dev/null
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "big screens, depths: FAILED with the $library library at stage '$1': $2"
    [ -s "$work/game.log" ] && grep -v FIXME "$work/game.log" | head -n 20
    exit 1
}

for tool in Xvfb xwininfo xwd od awk md5sum; do
    command -v "$tool" >/dev/null || fail "tools" "$tool is not installed"
done
[ -x "$game" ] || fail "tools" "no game binary at $1"
[ -f "$build/data/gfx.qva" ] || fail "tools" "no built data in $build/data"
[ -f "$compat_dir/libSDL-1.2.so.0" ] || fail "tools" "sdl12-compat is not installed (Debian package libsdl1.2-compat)"
source "$(cd "$(dirname "$0")/../support" && pwd)/xvfb.sh"
cd "$work" || fail "run directory" "cannot enter $work"
ln -s "$build/data" data || fail "run directory" "cannot link the data"

start_game() {
    start_game_window "$caption" "$work/game.log" env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
        LD_LIBRARY_PATH="$libpath" ASAN_OPTIONS="$asan_options" "$game" "$@" ||
        fail "window $*" "no window with the caption \"$caption\""
}

stop_game() {
    kill "$game_pid" 2>/dev/null
    wait "$game_pid" 2>/dev/null
    game_pid=""
}

# The compared rows of the screen's picture, as raw pixels of the given size.
picture_bytes() {
    local bytes=$1
    xwd -root -silent 2>/dev/null | tail -c $((screen_w * screen_h * bytes)) |
        tail -c +$((first_row * screen_w * bytes + 1)) | head -c $((rows * screen_w * bytes))
}

# Waits for the warning screen (the logo ends by itself once its jingle has
# played): the compared rows lit and unchanged in four shots over 1.2 s or
# more, longer than the logo's bobbing mascot ever stands still. Saves them
# as values, one per line, in the given file.
shoot_warning() {
    local bytes=$1 file=$2 last="" sum same=0
    for _ in $(seq 1 80); do
        kill -0 "$game_pid" 2>/dev/null || fail "intro" "the game ended before the warning screen"
        picture_bytes "$bytes" >"$work/shot"
        sum=$(md5sum <"$work/shot")
        if [ "$sum" = "$last" ]; then same=$((same + 1)); else same=0; fi
        if [ "$same" -ge 3 ] && od -An -v -tu1 "$work/shot" | grep -q '[1-9]'; then
            od -An -v -tu"$bytes" -w"$bytes" "$work/shot" >"$file"
            return
        fi
        last=$sum
        sleep 0.4
    done
    fail "intro" "no still warning screen within 32 s"
}

run_depth16() {
    start_game -fsd
    shoot_warning 2 "$work/shot16.$1"
    stop_game
}

run_depth24() {
    # The zoom lowered to fit the desktop, with its line.
    start_game -z4
    geometry=$(xwininfo -id "$window" 2>/dev/null | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
    [ "$geometry" = "960x720" ] || fail "window -z4" "the window is $geometry, expected 960x720"
    stop_game
    grep -q "zoom 4 does not fit the $screen_w x $screen_h desktop: zoom 3 instead" "$work/game.log" ||
        fail "window -z4" "no line on standard error about the lowered zoom"
    echo "big screens, depths ($library): -z4 opens a $geometry window on the ${screen_w}x${screen_h} desktop"
    start_game -fsd
    shoot_warning 4 "$work/shot24.$1"
    stop_game
}

# Compares the two screenshots: every picture pixel of depth 24 carries its
# 16-bit colour in the top bits of each channel, one 24-bit colour for each
# 16-bit one, and the border columns are black in both.
compare_shots() {
    paste "$work/shot16.$1" "$work/shot24.$1" | awk -v w="$screen_w" -v px="$pic_x" -v pw="$pic_w" '
        {
            x = (NR - 1) % w; a = $1; b = $2 % 16777216
            if (x < px || x >= px + pw) { if (a != 0 || b != 0) border++; next }
            r = int(a / 2048); g = int(a / 32) % 64; bl = a % 32
            if (int(b / 524288) != r || int(b / 1024) % 64 != g || int(b / 8) % 32 != bl) wrong++
            if ((a in seen) && seen[a] != b) mixed++
            seen[a] = b
            if (a != 0) lit++
        }
        END { printf "%d %d %d %d\n", wrong + 0, mixed + 0, border + 0, lit + 0 }'
}

asan_options="${ASAN_OPTIONS:-}"
for screen in 16 24; do
    start_xvfb "$work/xvfb.log" "${screen_w}x${screen_h}x$screen" || fail "X server" "no Xvfb at depth $screen"
    for library in classic sdl12-compat; do
        libpath=""
        asan_options="${ASAN_OPTIONS:-}"
        if [ "$library" = sdl12-compat ]; then
            libpath=$compat_dir
            # SDL 2 keeps allocations of its own until exit (see smoke_big_screens.sh).
            asan_options="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
        fi
        "run_depth$screen" "$library"
    done
    stop_xvfb
done
for library in classic sdl12-compat; do
    read -r wrong mixed border lit < <(compare_shots "$library")
    [ "${lit:-0}" -gt 1000 ] || fail "compare" "the depth-16 picture has only ${lit:-0} lit pixels"
    [ "${wrong:-1}" -eq 0 ] || fail "compare" "$wrong pixels of depth 24 differ from the depth-16 picture"
    [ "${mixed:-1}" -eq 0 ] || fail "compare" "$mixed pixels expand one 16-bit colour differently"
    [ "${border:-1}" -eq 0 ] || fail "compare" "$border border pixels are not black"
    echo "big screens, depths ($library): -fsd shows on depth 24 the depth-16 picture ($lit lit pixels compared)"
done
exit 0
