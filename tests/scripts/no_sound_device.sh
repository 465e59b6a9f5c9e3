#!/bin/bash
# The real binary on a machine whose sound device cannot be opened: it says so
# in one line on standard error and plays on without sound (intro, title, the
# options screen, whose volume changes are still saved, EXIT, status 0), on
# classic SDL and, when installed, on sdl12-compat. An audio subsystem that
# does not start at all still ends the game with its fixed message.
# Called as: bash no_sound_device.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
here=$(dirname "$(readlink -f "$0")")
compat_dir=/usr/lib/x86_64-linux-gnu/sdl12-compat

work=$(mktemp -d /tmp/floob2-nosound-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL $1"
    failures=$((failures + 1))
}

# The disk driver writes the sound into a file; one in a missing folder makes
# the device fail to open on both libraries, as a missing sound card does.
silent_session() {
    local name=$1 libs=$2 run="$work/$1"
    mkdir -p "$run" && ln -s "$build/data" "$run/data"
    (cd "$run" && env LD_LIBRARY_PATH="$libs" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk \
        SDL_DISKAUDIOFILE="$work/missing/sound.raw" FLOOB2_REPLAY="$here/no_sound_device.replay" \
        timeout 120 "$game" >"$run/out" 2>"$run/err")
    local status=$? notes
    notes=$(grep -c '^no sound: .*, playing without sound$' "$run/err")
    if [ "$status" -ne 0 ]; then
        fail "$name: status $status, expected 0; output: $(cat "$run/out" "$run/err")"
    elif [ -s "$run/out" ]; then
        fail "$name: standard output is not empty: $(cat "$run/out")"
    elif [ "$notes" -ne 1 ]; then
        fail "$name: $notes lines 'no sound: ..., playing without sound' on standard error: $(cat "$run/err")"
    elif [ -z "$libs" ] && [ "$(wc -l <"$run/err")" -ne 1 ]; then
        fail "$name: more than the one line on standard error: $(cat "$run/err")"
    elif ! grep -qx 'mus_volume=95' "$run/floob2.cfg" || ! grep -qx 'sfx_volume=10' "$run/floob2.cfg"; then
        fail "$name: the options screen's volumes were not saved: $(grep volume "$run/floob2.cfg" 2>&1)"
    else
        echo "ok   $name: $(cat "$run/err"); volumes saved"
    fi
}

silent_session classic ""
if [ -f "$compat_dir/libSDL-1.2.so.0" ]; then
    silent_session sdl12-compat "$compat_dir"
    # sdl12-compat refuses an unknown driver when the subsystem starts.
    output=$(cd "$work" && env LD_LIBRARY_PATH="$compat_dir" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=no_such_audio \
        timeout 30 "$game" 2>/dev/null)
    status=$?
    case "$status $output" in
        "1 SDL_Init: "?*) echo "ok   audio subsystem does not start: $output" ;;
        *) fail "audio subsystem does not start: status $status, output '$output'" ;;
    esac
else
    echo "note: sdl12-compat is not installed; only classic SDL was tried"
fi
exit $((failures > 0))
