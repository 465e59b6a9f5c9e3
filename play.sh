#!/usr/bin/env bash
# Sets up and builds everything, then starts FLOOB 2 in its run directory.
# The run directory keeps the player's files (floob2.cfg, hiscores.dat,
# savegame.dat) across rebuilds; it is $FLOOB2_HOME, by default
# ~/.local/share/floob2. Arguments are passed to the game (try -h).
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" "$top/build"
run=${FLOOB2_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/floob2}
mkdir -p "$run/data" "$run/maps"
cp "$top"/build/data/*.qva "$run/data/"
cd "$run"
exec "$top/build/floob2" "$@"
