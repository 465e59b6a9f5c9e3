#!/bin/bash
# The installed game, as a player's system sees it: `cmake --install` into a
# scratch DESTDIR (its path holds spaces) lays out exactly the expected files
# with their modes; the desktop entry, the AppStream metadata and the manual
# pages pass their validators, and the manual's options are the help's; a
# level made with the installed data compiler from the installed legend passes
# the installed level checker and plays in "floob2 -t"; the
# launcher keeps the player's folder as it should (a fresh one, a stale link, an
# old copied data folder, one with files of the player's own, FLOOB2_HOME and
# XDG_DATA_HOME, the exit status); and the desktop entry's Exec line starts the
# game under Xvfb with its caption and icon, through a scripted session to the
# title's options and out, writing only in the player's folder, with the
# window class the desktop entry names.
# Called as: bash install_tree.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
here=$(dirname "$(readlink -f "$0")")
. "$here/../support/xvfb.sh"
app=org.floob2.floob2
caption="FLOOB 2 V1.10"

work=$(mktemp -d "/tmp/floob2 install XXXXXX")
root="$work/dest dir"
cleanup() {
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "install: FAILED: $1"
    for log in "$work"/*.log; do
        [ -s "$log" ] || continue
        echo "--- $(basename "$log") ---"
        cat "$log"
    done
    exit 1
}

for tool in cmake desktop-file-validate appstreamcli man Xvfb xwininfo xprop od sha1sum; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 || fail "cmake --install failed"

# The tree, with the modes of every file and folder, and nothing else.
icons=""
for size in 16 32 48 64 128 256; do
    icons+="755 d usr/share/icons/hicolor/${size}x${size}
755 d usr/share/icons/hicolor/${size}x${size}/apps
644 f usr/share/icons/hicolor/${size}x${size}/apps/$app.png
"
done
levels="644 f usr/share/games/floob2/levels/legend.inc
"
for n in 00 01 02 03 04 05 06 07 08 09 10; do
    levels+="644 f usr/share/games/floob2/levels/floob2$n.lvl
"
done
expected=$(LC_ALL=C sort -k3 <<EOF2
755 d usr
755 d usr/games
755 f usr/games/floob2
755 f usr/games/floob2-data-compiler
755 f usr/games/floob2-level-checker
755 d usr/lib
755 d usr/lib/games
755 d usr/lib/games/floob2
755 f usr/lib/games/floob2/floob2
755 d usr/share
755 d usr/share/applications
644 f usr/share/applications/$app.desktop
755 d usr/share/games
755 d usr/share/games/floob2
755 d usr/share/games/floob2/data
644 f usr/share/games/floob2/data/gfx.qva
644 f usr/share/games/floob2/data/maps.qva
644 f usr/share/games/floob2/data/music.qva
644 f usr/share/games/floob2/data/sound.qva
755 d usr/share/games/floob2/levels
${levels}755 d usr/share/icons
755 d usr/share/icons/hicolor
${icons}755 d usr/share/man
755 d usr/share/man/man6
644 f usr/share/man/man6/floob2-data-compiler.6
644 f usr/share/man/man6/floob2-level-checker.6
644 f usr/share/man/man6/floob2.6
755 d usr/share/metainfo
644 f usr/share/metainfo/$app.metainfo.xml
EOF2
)
tree() { (cd "$root" && find . -mindepth 1 -printf '%m %y %P\n' | LC_ALL=C sort -k3); }
diff <(echo "$expected") <(tree) >"$work/tree.log" || fail "the installed tree is not as expected (< expected, > installed)"
cmp -s "$build/data/maps.qva" "$root/usr/share/games/floob2/data/maps.qva" || fail "the installed maps.qva is not the built one"

# Icons: PNG of the size their folder names.
for size in 16 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$app.png
    read -r w3 w2 w1 w0 h3 h2 h1 h0 < <(od -An -tu1 -j16 -N8 "$png")
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
    [ $(((w3 << 24) + (w2 << 16) + (w1 << 8) + w0)) -eq "$size" ] && [ $(((h3 << 24) + (h2 << 16) + (h1 << 8) + h0)) -eq "$size" ] ||
        fail "$png is not $size x $size"
done

desktop=$root/usr/share/applications/$app.desktop
desktop-file-validate "$desktop" >"$work/validate.log" 2>&1 && [ ! -s "$work/validate.log" ] ||
    fail "desktop-file-validate finds fault with the desktop entry"
grep -qx 'Categories=Game;ArcadeGame;' "$desktop" || fail "the desktop entry is not in Game;ArcadeGame;"
grep -qx 'StartupWMClass=floob2' "$desktop" || fail "the desktop entry does not name the window class floob2"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$app.metainfo.xml" >"$work/validate.log" 2>&1 ||
    fail "appstreamcli finds fault with the metadata"
appstreamcli validate-tree --no-net "$root" >"$work/validate.log" 2>&1 || fail "appstreamcli finds fault with the tree"
for page in floob2 floob2-data-compiler floob2-level-checker; do
    LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$root/usr/share/man/man6/$page.6" \
        >/dev/null 2>"$work/validate.log" && [ ! -s "$work/validate.log" ] || fail "man warns about the manual page $page.6"
done
man_page=$root/usr/share/man/man6/floob2.6
grep -q "/usr/share/games/floob2/data" "$man_page" || fail "the manual page does not name the installed archives"
: >"$work/validate.log"

# The manual's option lines are the help's: -h prints the first block; --help,
# once the game has it, prints both.
block_end() { awk -v n="$1" '/^\.nf/ { b++; on = (b == n); next } /^\.fi/ { on = 0 } on { gsub(/\\-/, "-"); print }' "$man_page"; }
"$game" -h >"$work/help.txt" 2>&1 || fail "floob2 -h ended with a failure"
diff "$work/help.txt" <(block_end 1) >"$work/help.log" || fail "the manual's options differ from the help (< help, > manual)"
if grep -a -q -- '-fsd : fullscreen at the desktop resolution' "$game"; then
    "$game" --help >"$work/help.txt" 2>&1 || fail "floob2 --help ended with a failure"
    diff "$work/help.txt" <(block_end 1; block_end 2) >"$work/help.log" ||
        fail "the manual's options differ from --help (< help, > manual)"
fi
: >"$work/help.log"

# The launcher, with -h (no window): $1 the player's folder that must come of it.
launcher=$root/usr/games/floob2
archives=$root/usr/share/games/floob2/data
run_launcher() {
    local folder=$1
    shift
    (cd "$work/cwd" && env -u FLOOB2_HOME -u XDG_DATA_HOME HOME="$work/home" "$@" "$launcher" -h) \
        >"$work/launcher.log" 2>"$work/launcher.err" || fail "the launcher failed for $folder"
    cmp -s "$work/launcher.log" <("$game" -h) || fail "the launcher did not pass -h on to the game"
    [ "$(readlink "$folder/data")" = "$archives" ] || fail "$folder/data does not link to $archives"
}
mkdir -p "$work/cwd" "$work/home"
player=$work/home/.local/share/floob2
run_launcher "$player"
[ "$(ls -A "$player")" = data ] || fail "a fresh player's folder holds more than data: $(ls -A "$player")"
[ ! -s "$work/launcher.err" ] || fail "the launcher complained about a fresh folder"
# The game's exit status comes back through the launcher.
(cd "$work/cwd" && env -u FLOOB2_HOME -u XDG_DATA_HOME HOME="$work/home" FLOOB2_REPLAY=/nonexistent.replay "$launcher") \
    >"$work/launcher.log" 2>&1
[ $? -eq 1 ] || fail "the launcher did not pass on the game's exit status 1"
rm -rf "$work/home"
mkdir "$work/home"
[ -z "$(ls -A "$work/cwd")" ] || fail "the launcher wrote in the working directory: $(ls -A "$work/cwd")"
: >"$work/launcher.log"

# A level of one's own from the installed game: the legend copied from the
# installed levels, compiled into the player's folder, proved by the checker,
# played by "floob2 -t" (which ends with "Can't load file" when it finds none).
mkdir -p "$work/my level" "$work/level home/maps"
cp "$root/usr/share/games/floob2/levels/legend.inc" "$work/my level/"
{
    printf '; one emerald and the exit\nmap\n'
    for _ in 1 2 3 4 5 6 7 8; do printf '%30s\n' '' | tr ' ' .; done
    printf '....................EE........\n..@.......*.........EE........\n'
    printf '%30s\n%30s\n' '' '' | tr ' ' '#'
} >"$work/my level/my.lvl"
(cd "$work/my level" && "$root/usr/games/floob2-data-compiler" compile my.lvl "$work/level home/maps/test.bin") \
    >"$work/level.log" 2>&1 || fail "the installed data compiler refused the level"
(cd "$work/my level" && "$root/usr/games/floob2-level-checker" "$work/level home/maps/test.bin" -o my.replay) \
    >"$work/level.log" 2>&1 && grep -qx 'finished: yes' "$work/level.log" || fail "the installed level checker did not finish the level"
printf '3 - -\n1 S -\n1 - S\n60 R -\n' >"$work/level.replay"
(cd "$work/cwd" && env FLOOB2_HOME="$work/level home" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    FLOOB2_REPLAY="$work/level.replay" timeout 60 "$root/usr/games/floob2" -t) >"$work/level.log" 2>&1 ||
    fail "floob2 -t did not play the level in the player's folder"
rm -rf "$work/my level" "$work/level home" "$work/level.replay"
: >"$work/level.log"

# The desktop entry's command under Xvfb, from a fresh home.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = /usr/games/floob2 ] || fail "the desktop entry runs \"$exec_line\", not /usr/games/floob2"
start_xvfb "$work/xvfb.log" || fail "no Xvfb could be started"
tree_before=$(cd "$root" && find . -printf '%m %y %s %T@ %P\n' | LC_ALL=C sort -k5)
run_installed() {
    cd "$work/cwd" && env -u FLOOB2_HOME -u XDG_DATA_HOME HOME="$work/home" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
        FLOOB2_REPLAY="$here/install_session.replay" timeout 120 "$root$exec_line"
}
start_game_window "$caption" "$work/game.log" run_installed
case $? in
    1) fail "no window with the caption \"$caption\" appeared" ;;
    2) fail "the game ended with status $game_status before its window appeared" ;;
esac
xprop -id "$window" WM_NAME WM_HINTS WM_CLASS >"$work/xprop.log" 2>&1
grep -q '^WM_CLASS(STRING) = .*"floob2"' "$work/xprop.log" || fail "the window's class is not floob2, as the desktop entry says"
grep -qF "WM_NAME(STRING) = \"$caption\"" "$work/xprop.log" || fail "the window's caption is not \"$caption\""
grep -q "bitmap id # to use for icon" "$work/xprop.log" || fail "the window has no icon"
grep -q "bitmap id # of mask for icon" "$work/xprop.log" || fail "the window's icon has no mask"
wait "$game_pid"
status=$?
[ "$status" -eq 0 ] || fail "the game ended with status $status, expected 0"
: >"$work/xprop.log"
player=$work/home/.local/share/floob2
left=$(cd "$work/home" && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
[ "$left" = "./.local ./.local/share ./.local/share/floob2 ./.local/share/floob2/data ./.local/share/floob2/floob2.cfg ./.local/share/floob2/hiscores.dat " ] ||
    fail "the home holds other than the player's folder with data, floob2.cfg and hiscores.dat: $left"
[ "$(stat -c %s "$player/hiscores.dat")" -eq 160 ] || fail "hiscores.dat is not the 160-byte table"
grep -qx 'mus_volume=95' "$player/floob2.cfg" || fail "the session did not reach the title's options"
[ -z "$(ls -A "$work/cwd")" ] || fail "the game wrote in the working directory: $(ls -A "$work/cwd")"
[ "$tree_before" = "$(cd "$root" && find . -printf '%m %y %s %T@ %P\n' | LC_ALL=C sort -k5)" ] ||
    fail "the game or the launcher changed the installed tree"
echo "install: the installed tree, its validators, the launcher and the desktop entry's command all pass"
exit 0
