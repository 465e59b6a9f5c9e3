#!/bin/bash
# Start-up failures of the real binary: each ends at once with its fixed
# message, SDL's text as the detail, one line on standard output, status 1.
# Called as: bash fatal_messages.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build="$2"

work=$(mktemp -d /tmp/floob2-fatal-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0

# expect_fatal NAME PREFIX ENV... : runs the game with the environment given
# and checks its output is exactly one line "PREFIX<something>" and status 1.
expect_fatal() {
    local name="$1" prefix="$2"
    shift 2
    local output status
    output=$(env "$@" timeout -s KILL 30 "$game" 2>/dev/null)
    status=$?
    local lines
    lines=$(printf '%s\n' "$output" | wc -l)
    if [ "$status" -ne 1 ]; then
        echo "FAIL $name: status $status, expected 1; output: $output"
        failures=$((failures + 1))
    elif [ "${output#"$prefix"}" = "$output" ] || [ -z "${output#"$prefix"}" ]; then
        echo "FAIL $name: output '$output' is not '$prefix' and a detail"
        failures=$((failures + 1))
    elif [ "$lines" -ne 1 ]; then
        echo "FAIL $name: $lines lines of output, expected 1: $output"
        failures=$((failures + 1))
    else
        echo "ok   $name: $output"
    fi
}

expect_fatal "unknown video driver" "Unable to init SDL: " SDL_VIDEODRIVER=no_such_video SDL_AUDIODRIVER=dummy
# A sound device that cannot be opened is no failure (no_sound_device.sh).

# Without a data directory the first image cannot be loaded: the game ends
# through the image loader's message instead of crashing.
output=$(env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout -s KILL 30 "$game" 2>/dev/null)
status=$?
case "$output" in
    "Error loading gfx file: "* | "Unable to load bitmap: "* | "Can't load file: "*) known=1 ;;
    *) known=0 ;;
esac
if [ "$status" -eq 1 ] && [ "$known" -eq 1 ]; then
    echo "ok   missing data: $output"
else
    echo "FAIL missing data: status $status, output '$output'"
    failures=$((failures + 1))
fi

[ -d "$build" ] || echo "note: build directory $build not found"
exit $((failures > 0))
