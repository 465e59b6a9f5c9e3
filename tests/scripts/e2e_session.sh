#!/bin/bash
# End-to-end session of the real binary under SDL's dummy drivers, driven by
# the scripted input of e2e_session.replay: intro, title, NEW GAME, opening
# story, level 1, pause, EXIT, the quit question (yes), the title, a trip to
# the options that lowers the music volume, EXIT. Checks the exit status and
# the files the session leaves behind, which tell the path it took.
# Called as: bash e2e_session.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
here=$(dirname "$(readlink -f "$0")")
replay="$here/e2e_session.replay"

work=$(mktemp -d /tmp/floob2-e2e-XXXXXX)
logs=$(mktemp -d /tmp/floob2-e2e-log-XXXXXX)
trap 'rm -rf "$work" "$logs"' EXIT

fail() {
    echo "e2e: FAILED: $1"
    if [ -s "$logs/game.log" ]; then
        echo "--- game output ---"
        cat "$logs/game.log"
    fi
    exit 1
}

[ -x "$game" ] || fail "no game binary at $1"
[ -f "$replay" ] || fail "no replay at $replay"
for archive in gfx maps music sound; do
    [ -f "$build/data/$archive.qva" ] || fail "no built data/$archive.qva in $build"
done

# The session plays the title map and level 1 of the built maps.
cd "$work" || fail "cannot enter $work"
for name in floob200 floob201; do
    grep -a -q "$name.bin" "$build/data/maps.qva" || fail "the built maps lack $name"
done
ln -s "$build/data" data || fail "cannot link the data"

SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy FLOOB2_REPLAY="$replay" timeout 120 "$game" >>"$logs/game.log" 2>&1
status=$?
[ "$status" -ne 124 ] || fail "the session did not end within 120 s"
[ "$status" -eq 0 ] || fail "the game ended with status $status, expected 0"

# The options were left once, after one step down: the volume is 95. A run that
# lost its way would have written nothing, or 90 if EXIT did not end it.
[ -f floob2.cfg ] || fail "no floob2.cfg: the session never got back to the title's options"
grep -q '^mus_volume=95$' floob2.cfg || fail "floob2.cfg holds $(grep mus_volume floob2.cfg), expected mus_volume=95"
grep -q '^sfx_volume=15$' floob2.cfg || fail "floob2.cfg changed the sound volume: $(grep sfx_volume floob2.cfg)"
# A new game quit on level 1 saves no progress and enters no score; the fresh
# high-score table written at start-up is all there is.
[ ! -e savegame.dat ] || fail "savegame.dat was written, but no level was completed"
[ -f hiscores.dat ] || fail "no hiscores.dat: start-up writes the fresh table"
size=$(stat -c %s hiscores.dat)
[ "$size" -eq 160 ] || fail "hiscores.dat has $size bytes, expected 160"
# Every user file was written whole and renamed into place: nothing else is left.
left=$(ls -A | grep -v -x -e data -e floob2.cfg -e hiscores.dat)
[ -z "$left" ] || fail "unexpected files left in the run directory: $left"
echo "e2e: session ended with status 0 on the expected path"
exit 0
