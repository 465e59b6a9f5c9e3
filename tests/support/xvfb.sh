# Shared by the script tests that need an X server (source it from bash).
# start_xvfb FIRST LAST LOG: starts Xvfb 640x480x24 on the first free display
# number from FIRST to LAST, sets DISPLAY and xvfb_pid, and returns 0; returns 1
# when none would start. Another test may pick the same number at the same
# moment, so a server that dies is retried on the next number.
start_xvfb() {
    local n
    xvfb_pid=""
    for n in $(seq "$1" "$2"); do
        [ -e "/tmp/.X$n-lock" ] && continue
        [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 640x480x24 -br -nolisten tcp >"$3" 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 1 50); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            if DISPLAY=":$n" xwininfo -root >/dev/null 2>&1; then
                export DISPLAY=":$n"
                return 0
            fi
            sleep 0.1
        done
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    done
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
