#!/bin/bash
# The desktop's keys and window events in the real game on a 1400 x 1050
# Xvfb screen, with the classic SDL 1.2 and again with sdl12-compat, in one
# session each: into level 1 by key; another window taking the focus opens the
# pause menu (the world stands still under a dimmed picture); F12 writes a PNG
# equal to the window's picture; F11 switches to the full screen at the
# server's size with the 4x picture centred at (60, 45), black around it, the
# same paused frame; Alt+Return comes back to the 640 x 480 window; dragged to
# 300 x 200 the window shows the frame cut at the right and bottom, to
# 1000 x 800 the 3x picture centred at (20, 40). The end writes the size to
# floob2-extras.cfg, and the next start opens its window at that size.
# Pictures are compared in the frame's own 320 x 240 pixels, leaving out the
# rows of the pause menu's entries, which blink.
# Called as: bash desktop_keys.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
caption="FLOOB 2 V1.10"
compat_dir=/usr/lib/x86_64-linux-gnu/sdl12-compat
screen_w=1400
screen_h=1050

work=$(mktemp -d /tmp/floob2-desktop-XXXXXX)
xvfb_pid=""
game_pid=""
other_pid=""
library=""

stop_game() {
    [ -n "$game_pid" ] || return 0
    kill "$game_pid" 2>/dev/null
    wait_game_end
    [ -n "$game_status" ] || { kill -9 "$game_pid" 2>/dev/null; wait "$game_pid" 2>/dev/null; }
    game_pid=""
}

cleanup() {
    stop_game
    [ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "desktop keys: FAILED with the $library library at stage '$1': $2"
    [ -s "$run/game.log" ] && { echo "--- game output ---"; grep -v FIXME "$run/game.log" | head -n 20; }
    exit 1
}

for tool in Xvfb xwininfo xdotool xwd xlogo pamchannel pamtopnm pngtopnm pamcut pamscale pnmcrop od cmp; do
    command -v "$tool" >/dev/null || fail "tools" "$tool is not installed"
done
[ -f "$compat_dir/libSDL-1.2.so.0" ] || fail "tools" "sdl12-compat is not installed (Debian package libsdl1.2-compat)"

source "$(cd "$(dirname "$0")/../support" && pwd)/xvfb.sh"
start_xvfb "$work/xvfb.log" "${screen_w}x${screen_h}x24" || fail "X server" "no Xvfb could be started"

# The window (or, in full screen, the whole screen) as a PPM file.
# The dump's pixels are 4 bytes each, blue, green, red and a spare one; the
# converter of the X dumps reads this server's dumps with the wrong byte order.
# The size is the dump's own (its header's fifth and sixth words).
dump_to_ppm() {
    local w h
    xwd "$@" -silent >"$run/dump.xwd" 2>/dev/null
    w=$(od -An -N4 -j16 --endian=big -tu4 "$run/dump.xwd" | tr -d ' ')
    h=$(od -An -N4 -j20 --endian=big -tu4 "$run/dump.xwd" | tr -d ' ')
    { printf 'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' "${w:-0}" "${h:-0}"
      tail -c $((${w:-0} * ${h:-0} * 4)) "$run/dump.xwd"; } | pamchannel -tupletype RGB 2 1 0 2>/dev/null | pamtopnm 2>/dev/null
}
capture() { dump_to_ppm -id "$window" >"$1"; }
capture_screen() { dump_to_ppm -root >"$1"; }
geometry() { xwininfo -id "$window" 2>/dev/null | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }
# The box of the pixels that are not black: left top right bottom (exclusive).
lit_box() { pnmcrop -black -reportfull "$1" 2>/dev/null | awk '{ print -$1, -$3, -$1 + $5, -$3 + $6 }'; }
# Checks that a capture shows the paused frame enlarged by FACTOR at (X, Y)
# with nothing lit around it: expect_picture STAGE CAPTURE FILE X Y FACTOR.
# A new mode's first pictures can take a moment to show (sdl12-compat makes a
# new window, and a resized one shows its old picture until the next frame),
# so the capture is taken again for up to 3 s before the stage fails.
expect_picture() {
    local stage=$1 how=$2 file=$3 x=$4 y=$5 k=$6 left top right bottom
    for _ in $(seq 1 15); do
        "$how" "$file.ppm"
        read -r left top right bottom < <(lit_box "$file.ppm")
        if [ "${left:--1}" -ge "$x" ] && [ "${top:--1}" -ge "$y" ] && [ "${right:-99999}" -le $((x + 320 * k)) ] &&
            [ "${bottom:-99999}" -le $((y + 240 * k)) ]; then
            frame "$file.ppm" "$x" "$y" "$k" "$file"
            cmp -s "$file" paused1 && return 0
        fi
        sleep 0.2
    done
    fail "$stage" "no ${k}x picture of the paused frame at ($x, $y) with black around it (lit from ($left, $top) to ($right, $bottom))"
}
# The 320 x 240 frame in a picture enlarged by FACTOR at (X, Y), without the
# pause menu's rows: frame FILE X Y FACTOR OUT.
frame() {
    pamcut -left "$2" -top "$3" -width $((320 * $4)) -height $((240 * $4)) "$1" | pamscale -reduce "$4" 2>/dev/null >"$5.all"
    { pamcut -top 0 -height 120 "$5.all"; pamcut -top 180 -height 60 "$5.all"; } | md5sum >"$5"
}
# Waits up to 3 s for the game's window to take the given size; sdl12-compat
# may make a new window for a new mode, so the window is looked up by its caption.
wait_geometry() {
    local found
    for _ in $(seq 1 30); do
        found=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$caption\"" | awk '{print $1}' | head -n 1)
        [ -n "$found" ] && window=$found
        [ "$(geometry)" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}
# The colour of one pixel of a PPM file: pixel FILE X Y prints "R G B".
pixel() { pamcut -left "$2" -top "$3" -width 1 -height 1 "$1" | tail -c 3 | od -An -tu1; }

start_game() {
    start_game_window "$caption" "$run/game.log" env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
        LD_LIBRARY_PATH="$libpath" ASAN_OPTIONS="$asan_options" "$game" ||
        fail "window" "no window with the caption \"$caption\""
    xdotool windowfocus "$window" >/dev/null 2>&1
}

run_with() {
    library=$1
    libpath=$2
    run=$work/$3
    mkdir -p "$run" && cd "$run" || fail "run directory" "cannot make $run"
    ln -s "$build/data" data
    start_game
    wait_geometry 640x480 || fail "window" "the window is $(geometry), expected 640x480"

    # The intro's screens, PRESS START, NEW GAME and the opening story each
    # end on Space (jump), until the level's time bar shows; Space in play is
    # a jump, never the pause. Return then cuts the get-ready call short.
    in_level=0
    for _ in $(seq 1 60); do
        capture probe.ppm
        read -r r g b < <(pixel probe.ppm 300 400)
        [ "${r:-0}" -ge 200 ] && [ "${g:-255}" -le 60 ] && [ "${b:-255}" -le 60 ] && { in_level=1; break; }
        xdotool key space >/dev/null 2>&1
        sleep 0.3
    done
    [ "$in_level" -eq 1 ] || fail "intro" "level 1's time bar did not appear within 60 presses of Space"
    xdotool key Return >/dev/null 2>&1
    sleep 0.5
    capture playing.ppm
    frame playing.ppm 0 0 2 playing

    # Another window takes the focus: the pause menu opens, and stays when the focus comes back.
    xlogo -geometry 100x100+1200+900 >/dev/null 2>&1 &
    other_pid=$!
    other=""
    for _ in $(seq 1 50); do
        other=$(xwininfo -root -tree 2>/dev/null | awk '/"xlogo"/ { print $1; exit }')
        [ -n "$other" ] && break
        sleep 0.1
    done
    [ -n "$other" ] || fail "focus" "no second window"
    xdotool windowfocus "$other" >/dev/null 2>&1
    # The pause shows within 3 s on a busy machine.
    for _ in $(seq 1 15); do
        sleep 0.2
        capture paused1.ppm
        frame paused1.ppm 0 0 2 paused1
        cmp -s playing paused1 || break
    done
    sleep 1.2
    capture paused2.ppm
    xdotool windowfocus "$window" >/dev/null 2>&1
    kill "$other_pid" 2>/dev/null
    wait "$other_pid" 2>/dev/null
    other_pid=""
    sleep 0.3
    frame paused2.ppm 0 0 2 paused2
    cmp -s playing paused1 && fail "focus" "the picture did not change when the focus was lost"
    cmp -s paused1 paused2 || fail "focus" "the world went on after the focus was lost: no pause"
    echo "desktop keys ($library): a lost focus opened the pause menu, the world stands still"

    # F12: the PNG holds the window's picture.
    xdotool key F12 >/dev/null 2>&1
    sleep 0.5
    capture shown.ppm
    shot=$(ls screenshots/floob2-*.png 2>/dev/null | head -n 1)
    [ -n "$shot" ] || fail "F12" "no screenshots/floob2-*.png"
    [ "$(ls -A screenshots | wc -l)" -eq 1 ] || fail "F12" "screenshots/ holds $(ls -A screenshots)"
    case "$shot" in screenshots/floob2-[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]-[0-9][0-9][0-9][0-9][0-9][0-9].png) ;;
        *) fail "F12" "the screenshot is named $shot" ;; esac
    pngtopnm "$shot" >shot.ppm 2>/dev/null || fail "F12" "$shot is no PNG libpng's tools read"
    for part in "-top 0 -height 240" "-top 360 -height 120"; do
        # shellcheck disable=SC2086
        cmp -s <(pamcut $part shot.ppm) <(pamcut $part shown.ppm) ||
            fail "F12" "the screenshot's pixels differ from the window's (rows $part)"
    done
    echo "desktop keys ($library): F12 wrote $shot, pixel for pixel the window's picture"

    # F11: the full screen at the server's size, the 4x picture centred, the same frame.
    xdotool key F11 >/dev/null 2>&1
    wait_geometry "${screen_w}x${screen_h}" || fail "F11" "the full screen is $(geometry)"
    expect_picture F11 capture_screen full 60 45 4
    echo "desktop keys ($library): F11 gave the ${screen_w}x${screen_h} full screen, the same frame 4x at (60, 45)"

    # Alt+Return: back to the window of the zoom, the same frame.
    xdotool key alt+Return >/dev/null 2>&1
    wait_geometry 640x480 || fail "Alt+Return" "the window is $(geometry), expected 640x480"
    expect_picture Alt+Return capture back 0 0 2
    echo "desktop keys ($library): Alt+Return came back to the 640x480 window with the same frame"

    # Dragged small, the frame is cut; dragged large, the 3x picture is centred.
    xdotool windowsize "$window" 300 200 >/dev/null 2>&1
    wait_geometry 300x200 || fail "resize" "the window is $(geometry), expected 300x200"
    pamcut -width 300 -height 120 paused1.all | md5sum >small.want
    for _ in $(seq 1 15); do
        capture small.ppm
        pamcut -width 300 -height 120 small.ppm 2>/dev/null | md5sum >small.got
        cmp -s small.want small.got && break
        sleep 0.2
    done
    cmp -s small.want small.got || fail "resize" "the 300x200 window does not show the frame's top left"
    xdotool windowsize "$window" 1000 800 >/dev/null 2>&1
    wait_geometry 1000x800 || fail "resize" "the window is $(geometry), expected 1000x800"
    expect_picture resize capture large 20 40 3
    echo "desktop keys ($library): 300x200 shows the frame cut, 1000x800 the 3x picture at (20, 40)"

    stop_game
    [ "$game_status" = 143 ] || [ "$game_status" = 0 ] || fail "end" "the game ended with status $game_status"
    grep -qx 'window_width=1000' floob2-extras.cfg && grep -qx 'window_height=800' floob2-extras.cfg &&
        grep -qx 'fullscreen=0' floob2-extras.cfg || fail "end" "floob2-extras.cfg holds: $(cat floob2-extras.cfg 2>&1)"
    start_game
    wait_geometry 1000x800 || fail "restart" "the window opened at $(geometry), expected 1000x800"
    stop_game
    echo "desktop keys ($library): the size was kept in floob2-extras.cfg for the next start"
    cd "$work" || exit 1
}

asan_options="${ASAN_OPTIONS:-}"
run_with "classic SDL 1.2" "" classic
asan_options="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
run_with "sdl12-compat" "$compat_dir" compat
exit 0
