# Shared by the script tests that need an X server (source it from bash).
# start_xvfb LOG [SCREEN]: starts Xvfb with one screen of SCREEN (default
# 640x480x24) on a display number the server picks itself among the free ones
# (so tests running at the same time never share a server), sets DISPLAY and
# xvfb_pid, and returns 0 once the server answers; returns 1 when it would not
# start within 20 s. The server never resets: by default it resets whenever its
# last client leaves (every xwininfo probe is one), and a client that connects
# during the reset is refused.
start_xvfb() {
    local screen=${2:-640x480x24} fifo n=""
    xvfb_pid=""
    fifo=$(mktemp -u /tmp/floob2-xvfb-XXXXXX) || return 1
    mkfifo "$fifo" || return 1
    Xvfb -displayfd 3 -screen 0 "$screen" -br -noreset -nolisten tcp 3>"$fifo" >"$1" 2>&1 &
    xvfb_pid=$!
    read -r -t 20 n <"$fifo"
    rm -f "$fifo"
    if [ -n "$n" ] && DISPLAY=":$n" xwininfo -root >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
    fi
    stop_xvfb
    return 1
}

# stop_xvfb: ends the server that start_xvfb started.
stop_xvfb() {
    if [ -n "${xvfb_pid:-}" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    fi
}

# start_game_window CAPTION LOG COMMAND...: starts COMMAND (the game, with its
# environment and options) in the background, its output in LOG, and waits up
# to 20 s for a window with CAPTION; sets game_pid and window. A freshly
# started server on a busy machine can refuse the first client for a moment
# although it already answered: such a start is tried again, three times at
# most. Returns 0 with the window found, 1 when the game still runs without
# one, 2 when the game has ended (its status is then in game_status).
start_game_window() {
    local caption=$1 log=$2 attempt
    shift 2
    window=""
    game_status=""
    for attempt in 1 2 3; do
        "$@" >"$log" 2>&1 &
        game_pid=$!
        for _ in $(seq 1 200); do
            kill -0 "$game_pid" 2>/dev/null || break
            window=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$caption\"" | awk '{print $1}' | head -n 1)
            [ -n "$window" ] && return 0
            sleep 0.1
        done
        kill -0 "$game_pid" 2>/dev/null && return 1
        wait "$game_pid"
        game_status=$?
        # SDL 1.2 and sdl12-compat (SDL 2 beneath) word the refusal each their own way.
        grep -q -e "Couldn't open X11 display" -e "x11 not available" "$log" || return 2
        echo "the X server refused the game (attempt $attempt); starting it again"
        sleep 1
    done
    return 2
}

# wait_game_end: waits up to 10 s for game_pid to end; sets game_status to its
# status, or to "" when it still runs.
wait_game_end() {
    game_status=""
    for _ in $(seq 1 100); do
        if ! kill -0 "$game_pid" 2>/dev/null; then
            wait "$game_pid"
            game_status=$?
            return
        fi
        sleep 0.1
    done
}
