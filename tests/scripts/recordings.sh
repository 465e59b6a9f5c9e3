#!/bin/bash
# Recordings of the real binary under SDL's dummy drivers, in one run:
#  - a scripted game through levels 1 and 2 (the title, NEW GAME, the two
#    stored routes) recorded with --record, made with non-default bindings and
#    volumes, then verified with --verify in another folder whose player's
#    files differ: the same closing line, every check of pictures, sounds and
#    state matching (status 0), and that folder's files untouched;
#  - the recording refused with a data set whose sound archive differs.
# (The stored level routes go through --verify in the level tests, PlayLevel.)
# Called as: bash recordings.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
here=$(dirname "$(readlink -f "$0")")
routes="$here/../../assets/maps"

work=$(mktemp -d /tmp/floob2-recordings-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL $1"
    failures=$((failures + 1))
}
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

# A route's play: every frame after the 181 frames of its get-ready, one line each.
route_play() { awk '/^[0-9]/ { for (i = 0; i < $1; i++) if (++n > 181) print 1, $2, $3 }' "$1"; }

# The intro, the title's NEW GAME and the opening story; a start release ends
# each get-ready at once, and 400 idle frames cover the level's end.
{
    printf '%s\n' "60 - -" "1 S -" "1 - S" "100 - -" "1 S -" "1 - S" "3 - -" "1 S -" "1 - S" "3 - -" \
        "1 S -" "5 S -" "1 - S" "3 - -" "1 - S" "3 - -" "1 - S" "3 - -" "20 - -" "1 - S"
    route_play "$routes/floob201.replay"
    printf '%s\n' "400 - -" "1 - S"
    route_play "$routes/floob202.replay"
    echo "400 - -"
} >"$work/game.replay"

mkdir -p "$work/record" "$work/other" && ln -s "$build/data" "$work/record/data" && ln -s "$build/data" "$work/other/data"
printf 'mus_volume=40\nsfx_volume=70\nk_jump=97\nk_pause=112\n' >"$work/record/floob2.cfg"
recorded=$(cd "$work/record" && FLOOB2_REPLAY="$work/game.replay" timeout 120 "$game" --record game.floobrec 2>&1)
status=$?
case "$status $recorded" in
    "0 2 levels finished, "*" frames played") echo "ok   recorded: $recorded" ;;
    *) fail "recording the scripted game: status $status, output '$recorded'" ;;
esac
[ -d "$work/record/replays" ] && fail "a scripted run kept itself in replays/"

# The other folder's player's files: another configuration, a saved game, high scores.
printf 'mus_volume=100\nsfx_volume=15\n' >"$work/other/floob2.cfg"
printf '\x12\x35\x34\x13' >"$work/other/savegame.dat"
head -c 160 /dev/urandom >"$work/other/hiscores.dat"
before=$(cd "$work/other" && ls -la --time-style=full-iso . && md5sum floob2.cfg savegame.dat hiscores.dat)
verified=$(cd "$work/other" && timeout 120 "$game" --verify ../record/game.floobrec 2>&1)
status=$?
after=$(cd "$work/other" && ls -la --time-style=full-iso . && md5sum floob2.cfg savegame.dat hiscores.dat)
if [ "$status" -ne 0 ] || [ "$verified" != "$recorded" ]; then
    fail "verifying elsewhere: status $status, output '$verified', the recording's '$recorded'"
elif [ "$before" != "$after" ]; then
    fail "the playback changed the player's folder: $(diff <(echo "$before") <(echo "$after"))"
else
    echo "ok   verified with other player's files present, none touched"
fi

# Another data set: the same archives but for one more byte of sound.
mkdir -p "$work/changed/data"
for archive in gfx maps music; do ln -s "$build/data/$archive.qva" "$work/changed/data/$archive.qva"; done
cat "$build/data/sound.qva" >"$work/changed/data/sound.qva" && printf 'x' >>"$work/changed/data/sound.qva"
refused=$(cd "$work/changed" && timeout 60 "$game" --verify ../record/game.floobrec 2>&1)
status=$?
case "$status $refused" in
    "1 Can't play the recording ../record/game.floobrec: data/sound.qva differs"*) echo "ok   refused: $refused" ;;
    *) fail "another data set: status $status, output '$refused'" ;;
esac

exit $((failures > 0))
