#!/bin/bash
# The game on sdl12-compat (SDL 1.2 over SDL 2, as newer distributions ship
# it): with the loader pointed at it, the video-mode and presenting tests (the
# filters writing into the desktop's own format, whose rounding differs) and
# the command-line tests pass under the dummy drivers, and the Xvfb smoke
# test (intro, title, Escape, status 0) passes with the X11 driver.
# Called as: bash sdl12_compat.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
here=$(cd "$(dirname "$0")" && pwd)
compat_dir=/usr/lib/x86_64-linux-gnu/sdl12-compat

fail() {
    echo "sdl12-compat: FAILED: $1"
    exit 1
}

[ -f "$compat_dir/libSDL-1.2.so.0" ] || fail "sdl12-compat is not installed (Debian package libsdl1.2-compat)"
for program in "$game" "$build/tests/test_gfx" "$build/tests/test_shell"; do
    [ -x "$program" ] || fail "no program $program"
    LD_LIBRARY_PATH="$compat_dir" ldd "$program" | grep -q "$compat_dir/libSDL-1.2.so.0" ||
        fail "$program does not load $compat_dir/libSDL-1.2.so.0 with LD_LIBRARY_PATH set"
done

cd "$build" || fail "cannot enter $build"
export LD_LIBRARY_PATH="$compat_dir" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
# In a sanitizer build, SDL 2 under sdl12-compat keeps allocations of its own
# and of the libraries it opens and closes again until exit, where no
# suppression can name them; the game's own leaks are checked on classic SDL.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
# The library prints notes of its own on standard error; the tests' verdict is their status.
"$build/tests/test_gfx" --gtest_filter='Video*:VideoSize*:PresentFrame*:PicturePlacement*:BigScreens.IntoThe*:ScaleFences.*' --gtest_brief=1 2>/dev/null ||
    fail "the video tests fail on sdl12-compat"
"$build/tests/test_shell" --gtest_filter='CommandLine*:FatalError*' --gtest_brief=1 2>/dev/null ||
    fail "the command-line tests fail on sdl12-compat"
echo "sdl12-compat: the video and command-line tests pass"
unset SDL_VIDEODRIVER SDL_AUDIODRIVER
bash "$here/smoke_xvfb.sh" "$game" "$build" || fail "the Xvfb smoke test fails on sdl12-compat"
echo "sdl12-compat: the Xvfb smoke test passes"
exit 0
