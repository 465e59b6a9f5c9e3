# Shared by the script tests that need an X server (source it from bash).
# start_xvfb LOG [SCREEN]: starts Xvfb with one screen of SCREEN (default
# 640x480x24) on a display number the server picks itself among the free ones
# (so tests running at the same time never share a server), sets DISPLAY and
# xvfb_pid, and returns 0 once the server answers; returns 1 when it would not
# start within 20 s.
start_xvfb() {
    local screen=${2:-640x480x24} fifo n=""
    xvfb_pid=""
    fifo=$(mktemp -u /tmp/floob2-xvfb-XXXXXX) || return 1
    mkfifo "$fifo" || return 1
    Xvfb -displayfd 3 -screen 0 "$screen" -br -nolisten tcp 3>"$fifo" >"$1" 2>&1 &
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
