#!/bin/bash
# What a desktop does to the real binary: the terminal closing (SIGHUP),
# SIGQUIT, a closed pipe on standard output, and a start with no display.
# Each signal ends the game within a second by that same signal, after its
# normal shutdown (no message from a library's own handler, no temporary file
# left); a closed pipe is not fatal; with no display and no driver named the
# game does not draw on the terminal, and a driver the player names is used.
# Called as: bash desktop_signals.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")

work=$(mktemp -d /tmp/floob2-signals-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
ln -s "$build/data" data
ulimit -c 0
failures=0

fail() {
    echo "FAIL $1"
    failures=$((failures + 1))
}

# signal_case SIGNAL STATUS ENV... : starts the game in real time, sends the
# signal once it is running and expects it to end by that signal.
signal_case() {
    local sig="$1" want="$2"
    shift 2
    env SDL_AUDIODRIVER=dummy "$@" "$game" >"$work/out" 2>"$work/err" &
    local pid=$!
    sleep 0.7
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        fail "SIG$sig $*: the game ended by itself with status $?: $(head -c 200 "$work/out")"
        return
    fi
    local sent
    sent=$(date +%s%N)
    kill -"$sig" "$pid"
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
    wait "$pid"
    local status=$? took=$((($(date +%s%N) - sent) / 1000000))
    local leftovers
    leftovers=$(find . -maxdepth 1 -name '*.tmp*' | head -1)
    if [ "$status" -ne "$want" ]; then
        fail "SIG$sig $*: status $status, expected $want; stderr: $(head -c 200 "$work/err")"
    elif [ "$took" -ge 1000 ]; then
        fail "SIG$sig $*: took $took ms"
    elif [ -s "$work/err" ]; then
        fail "SIG$sig $*: stderr: $(head -c 200 "$work/err")"
    elif [ -n "$leftovers" ]; then
        fail "SIG$sig $*: left $leftovers"
    else
        echo "ok   SIG$sig $*: status $status after $took ms"
    fi
}

signal_case HUP 129 SDL_VIDEODRIVER=dummy
signal_case QUIT 131 SDL_VIDEODRIVER=dummy

# The reader of the help text is gone before it is written.
(
    set -o pipefail
    (sleep 0.3; exec "$game" -h) | true
) && echo "ok   help into a closed pipe" || fail "help into a closed pipe: status $?"

# No display and no driver named: one line, status 1, nothing drawn as text.
output=$(env -u DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy timeout -s KILL 10 "$game" 2>/dev/null | head -c 4096)
status=${PIPESTATUS[0]}
case "$output" in
    "Unable to set video mode: no display") echo "ok   no display: $output" ;;
    # An SDL built without text-mode drivers finds no device at all.
    "Unable to init SDL: "*) echo "ok   no display, no text-mode driver in this SDL: $output" ;;
    *) fail "no display: status $status, output $(printf '%s' "$output" | head -c 100 | od -c | head -2)" ;;
esac
# A text-mode driver the player names is used as it is (when this SDL has one).
if [ "$output" = "Unable to set video mode: no display" ]; then
    signal_case TERM 143 SDL_VIDEODRIVER=caca TERM=xterm CACA_DRIVER=raw
fi

# The terminal closing during play: the game's own shutdown runs and ends it
# by the signal (seen in the system calls: the handler's raise), instead of
# the signal killing it on the spot.
if strace -qq -o /dev/null true 2>/dev/null; then
    env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$game" >/dev/null 2>&1 &
    pid=$!
    sleep 0.5
    strace -f -qq -p "$pid" -e trace=tgkill -e signal=none -o "$work/trace" 2>/dev/null &
    tracer=$!
    sleep 0.3
    kill -HUP "$pid"
    wait "$pid"
    wait "$tracer"
    if grep -q 'tgkill(.*SIGHUP' "$work/trace"; then
        echo "ok   SIGHUP ends through the shutdown"
    else
        fail "SIGHUP killed the game without its shutdown: $(tail -2 "$work/trace")"
    fi
fi

exit $((failures > 0))
