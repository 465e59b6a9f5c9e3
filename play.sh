#!/usr/bin/env bash
# Installs what playing needs (only the missing Debian packages: a compiler,
# CMake, Ninja and the game's libraries), builds only the game, the data
# compiler and the archives, then starts FLOOB 2 through the same launcher that
# is installed (dist/floob2-launcher.in), made for the build: the player's
# folder is $FLOOB2_HOME, by default ~/.local/share/floob2, and its data/ links
# to the freshly built archives, so the player's files (floob2.cfg, hiscores.dat,
# savegame.dat) stay across rebuilds. Arguments are passed to the game (try -h).
# A build/ that ./test.sh made whole stays whole.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" --play "$top/build"
exec "$top/build/launcher/floob2" "$@"
