#!/usr/bin/env bash
# The real binary under valgrind memcheck, headless, through the scripted
# session of scripts/memory_session.replay: intro, title, options (one volume
# step, saved on leaving), a new game, level 1 played with deaths, the quit
# question, the title again and EXIT. Passes when the game exits with status 0
# and memcheck reports no invalid read or write, no use of uninitialised
# values and no definite, indirect or possible leak. No suppressions are
# needed: what the system libraries keep at exit is still reachable.
# Usage: scripts/check_memory.sh [BUILD_DIR]   (default: build; built if needed)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build}")
jobs=${JOBS:-2}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.cmake.log" 2>&1 ||
    { cat "$build.cmake.log"; exit 1; }
fi
cmake --build "$build" -j "$jobs" --target floob2 floobdata data

work=$(mktemp -d /tmp/floob2-memcheck-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run/data"
cp "$build/data/gfx.qva" "$build/data/music.qva" "$build/data/sound.qva" "$work/run/data/"
for n in 200 201 202 203 204 205 206 207 208 209 210; do
  grep -aq "floob$n.bin" "$build/data/maps.qva" 2>/dev/null ||
    { echo "FAIL: $build/data/maps.qva lacks floob$n.bin"; exit 1; }
done
cp "$build/data/maps.qva" "$work/run/data/"

log="$build/memcheck.log"
status=0
(cd "$work/run" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy FLOOB2_REPLAY="$top/scripts/memory_session.replay" \
  valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect,possible \
    --track-origins=yes --num-callers=30 \
    --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99 --log-file="$log" \
    "$build/floob2") || status=$?

grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|suppressed:" "$log" || true
if [ ! -s "$work/run/floob2.cfg" ] || ! grep -q "^sfx_volume=20$" "$work/run/floob2.cfg"; then
  echo "FAIL: the session did not reach the options screen and save the configuration"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "FAIL: status $status (99: memcheck found errors; see $log)"
  exit 1
fi
echo "ok: no memory errors, no leaks from our code (full log: $log)"
