#!/bin/bash
# The game's own CPU and drawn frames a second while it idles on the title,
# under a real X server (Xvfb) of each screen size and depth, in a window and
# at the desktop's full screen, with the classic SDL 1.2 and with sdl12-compat.
# Each figure is the median of REPEATS runs (default 3) of 4 s each: the
# machine may be shared, so single runs are noisy.
#   bash bench/present_cpu.sh <path-to-floob2> <build-dir> [REPEATS] [OPTION-SET...]
# Prints one line per screen, options and library: "screen options library cpu% fps".
# Extra arguments after REPEATS replace the default list of runs; each is
# "WxHxD:options" (options separated by commas), e.g. "1920x1080x24:-fsd,-x2".
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
repeats=${3:-3}
shift 3 2>/dev/null || shift $#
caption="FLOOB 2 V1.10"
compat_dir=/usr/lib/x86_64-linux-gnu/sdl12-compat
runs=("$@")
if [ ${#runs[@]} -eq 0 ]; then
    runs=("1280x1024x16:-x2" "1280x1024x24:-x2" "1280x1024x24:-x2,-bd" "1920x1080x16:-fsd,-x2"
        "1920x1080x24:-fsd,-x2" "1920x1080x24:-x2" "3840x2160x24:-fsd,-x2")
fi

work=$(mktemp -d /tmp/floob2-present-cpu-XXXXXX)
xvfb_pid=""
game_pid=""
cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then kill "$game_pid" 2>/dev/null; fi
    [ -n "$game_pid" ] && wait "$game_pid" 2>/dev/null
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT
source "$(cd "$(dirname "$0")/../tests/support" && pwd)/xvfb.sh"

# Counts the game's presents (flips and rectangle updates, a flip's own
# updates not counted twice) into a shared file that this script reads.
cat >"$work/count.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>
static volatile unsigned long* counter;
static int inside;
static void count(void) {
    if (!counter) {
        int fd = open(getenv("FLOOB2_PRESENT_COUNT"), O_RDWR);
        if (fd < 0) return;
        counter = mmap(0, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        if (counter == MAP_FAILED) { counter = 0; return; }
    }
    if (!inside) (*counter)++;
}
int SDL_Flip(void* s) {
    static int (*real)(void*);
    if (!real) real = (int (*)(void*))dlsym(RTLD_NEXT, "SDL_Flip");
    count();
    inside = 1;
    int r = real(s);
    inside = 0;
    return r;
}
void SDL_UpdateRect(void* s, int x, int y, unsigned w, unsigned h) {
    static void (*real)(void*, int, int, unsigned, unsigned);
    if (!real) real = (void (*)(void*, int, int, unsigned, unsigned))dlsym(RTLD_NEXT, "SDL_UpdateRect");
    count();
    inside = 1;
    real(s, x, y, w, h);
    inside = 0;
}
EOF
gcc -shared -fPIC -O2 -o "$work/count.so" "$work/count.c" -ldl || exit 1

cd "$work" || exit 1
ln -s "$build/data" data
ticks=$(getconf CLK_TCK)

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null; }
presents() { od -An -tu8 -N8 "$work/counter" | tr -d ' '; }

# One run: prints "cpu% fps", or "- -" when the game did not reach the title.
measure() {
    local libpath=$1 t0 t1 c0 c1
    shift
    head -c 4096 /dev/zero >"$work/counter"
    start_game_window "$caption" "$work/game.log" env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
        LD_LIBRARY_PATH="$libpath" LD_PRELOAD="$work/count.so" FLOOB2_PRESENT_COUNT="$work/counter" "$game" "$@" >&2 ||
        { echo "- -"; return; }
    xdotool windowfocus "$window" >/dev/null 2>&1
    # Past the logo (once it has stopped in the middle), the warning and the credits.
    sleep 3
    xdotool key Return >/dev/null 2>&1
    sleep 0.6
    xdotool key x >/dev/null 2>&1
    sleep 0.6
    xdotool key x >/dev/null 2>&1
    sleep 1.5
    t0=$(cpu_ticks "$game_pid")
    c0=$(presents)
    sleep 4
    t1=$(cpu_ticks "$game_pid")
    c1=$(presents)
    kill "$game_pid" 2>/dev/null
    wait "$game_pid" 2>/dev/null
    game_pid=""
    if [ -z "$t0" ] || [ -z "$t1" ]; then
        echo "- -"
        return
    fi
    awk -v a="$t0" -v b="$t1" -v hz="$ticks" -v c0="$c0" -v c1="$c1" \
        'BEGIN { printf "%.1f %.1f\n", (b - a) * 100 / (4 * hz), (c1 - c0) / 4 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR ? v[int((NR + 1) / 2)] : "-") }'; }

current_screen=""
for run in "${runs[@]}"; do
    screen=${run%%:*}
    options=${run#*:}
    if [ "$screen" != "$current_screen" ]; then
        stop_xvfb
        start_xvfb "$work/xvfb.log" "$screen" || { echo "no Xvfb for $screen"; exit 1; }
        current_screen=$screen
    fi
    IFS=, read -r -a args <<<"$options"
    for library in classic compat; do
        libpath=""
        [ "$library" = compat ] && libpath=$compat_dir
        : >"$work/results"
        for _ in $(seq 1 "$repeats"); do measure "$libpath" "${args[@]}" >>"$work/results"; done
        cpu=$(awk '{ print $1 }' "$work/results" | median)
        fps=$(awk '{ print $2 }' "$work/results" | median)
        echo "$screen ${options//,/ } $library cpu $cpu% fps $fps (runs: $(awk '{ printf "%s/%s ", $1, $2 }' "$work/results"))"
    done
done
