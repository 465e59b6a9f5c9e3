#!/bin/bash
# The floob2 launcher, run by dash and by bash, in a scratch tree laid out as an
# install (its path holds spaces) with a stand-in game that reports its folder
# and arguments: what becomes of the player's folder and of its "data" in every
# state it can be found in, which homes it picks and refuses, the messages it
# gives, and that three launches at once, ten rounds under each shell, while
# an old copied data folder is replaced, lose nothing and report nothing. The
# cases that need file permissions to bite run as an unprivileged user
# (setpriv) when the suite runs as root.
# Called as: bash launcher.sh <path-to-floob2> <build-dir>
set -u
here=$(dirname "$(readlink -f "$0")")
source=$here/../../dist/floob2-launcher.in
work=$(mktemp -d "/tmp/floob2 launcher XXXXXX")
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
failures=0

# The tree: bin/floob2 finds ../lib/floob2 and ../share/games/floob2/data as the
# installed launcher does. The stand-in game ends with $GAME_STATUS (default 0).
tree=$work/tree
archives=$tree/share/games/floob2/data
mkdir -p "$tree/bin" "$tree/lib" "$archives" "$work/cwd"
sed -e "s|@LAUNCH_GAME@|../lib/floob2|" -e "s|@LAUNCH_DATA@|../share/games/floob2/data|" "$source" >"$tree/bin/floob2"
cat >"$tree/lib/floob2" <<'EOF'
#!/bin/sh
printf 'game in %s:' "$(pwd -P)"
printf ' [%s]' "$@"
echo
exit "${GAME_STATUS:-0}"
EOF
chmod 755 "$tree/bin/floob2" "$tree/lib/floob2"
for name in gfx maps music sound; do echo "the $name archive" >"$archives/$name.qva"; done
archive_sums=$(cd "$archives" && sha1sum ./* 2>/dev/null)
# The archive folders of another install and of another build, and a folder of
# the player's own that a link may lead to.
for folder in "$work/old/share/games/floob2/data" "$work/oldbuild/data" "$work/mods"; do
    mkdir -p "$folder"
    cp "$archives"/*.qva "$folder/"
done
touch "$work/oldbuild/CMakeCache.txt"
echo mine >"$work/mods/notes.txt"

# launch SHELL ENV...: runs the launcher by SHELL from $work/cwd with HOME set to
# $work/home and then the ENV arguments of env(1), the game given -h and
# "two words"; its stdout, stderr and status in $out, $err and $status.
launch() {
    local shell=$1
    shift
    (cd "$work/cwd" && env -u FLOOB2_HOME -u XDG_DATA_HOME -u CDPATH HOME="$work/home" env "$@" \
        "${runner[@]}" "$shell" "$tree/bin/floob2" -h "two words") >"$work/out" 2>"$work/err"
    status=$?
    out=$(<"$work/out")
    err=$(<"$work/err")
}
restore_archives() {
    rm -rf "$archives"
    mkdir -p "$archives"
    for name in gfx maps music sound; do echo "the $name archive" >"$archives/$name.qva"; done
}

# The state of a folder: every entry, its type, size, link and content.
snapshot() {
    (cd "$1" 2>/dev/null && find . -mindepth 1 -printf '%y %m %s %T@ %p -> %l\n' \( -type f -readable -exec sha1sum {} + \) |
        LC_ALL=C sort)
}

player=$work/home/.local/share/floob2
with_player_files() {
    mkdir -p "$player"
    for f in floob2.cfg hiscores.dat savegame.dat; do echo "the player's $f" >"$player/$f"; done
}
copied_data() {
    with_player_files
    mkdir "$player/data"
    cp "$archives"/*.qva "$player/data/"
}

# Set-ups, each leaving the player's folder (or its absence) as the case needs.
setup_fresh() { :; }
setup_dangling() { with_player_files && ln -s /nonexistent/floob2/data "$player/data"; }
setup_old_install() { with_player_files && ln -s "$work/old/share/games/floob2/data" "$player/data"; }
setup_old_build() { with_player_files && ln -s "$work/oldbuild/data" "$player/data"; }
setup_own_link() { with_player_files && ln -s "$work/mods" "$player/data"; }
setup_copied() { copied_data; }
setup_extra_file() { copied_data && echo mine >"$player/data/notes.txt"; }
setup_archive_folder() { copied_data && rm "$player/data/gfx.qva" && mkdir "$player/data/gfx.qva"; }
setup_archive_link() { copied_data && ln -sf "$work/mods/notes.txt" "$player/data/sound.qva"; }
setup_data_file() { with_player_files && echo mine >"$player/data"; }
setup_unlistable() {
    copied_data
    chown -R 65534:65534 "$work/home" 2>/dev/null
    chmod 0300 "$player/data"
}
setup_read_only_copy() {
    copied_data
    chown -R 65534:65534 "$work/home" 2>/dev/null
    chmod 0555 "$player/data"
}
setup_read_only_folder() {
    with_player_files
    chown -R 65534:65534 "$work/home" 2>/dev/null
    chmod 0555 "$player"
}
setup_root_owned() {
    # A launch as root, as "sudo floob2" makes it, then the player's.
    launch sh
    with_player_files
    chmod 755 "$work/home"
}

# Cases: name | set-up | arguments of env(1), split at ";" | player's folder | status | data
# afterwards ("link" to the archives, "kept" as it was, "-" no folder) |
# what stderr holds (an extended regular expression; "" for nothing) | who runs
# it ("" root or the suite's user, "player" an unprivileged one).
cases=(
    "fresh folder|setup_fresh||$player|0|link||"
    "dangling link|setup_dangling||$player|0|link||"
    "link to another install|setup_old_install||$player|0|link||"
    "link to another build|setup_old_build||$player|0|link||"
    "the player's own link|setup_own_link||$player|0|kept|is a link of yours \\(to $work/mods\\)|"
    "copied archives|setup_copied||$player|0|link||"
    "copied archives and a file|setup_extra_file||$player|0|kept|$player/data holds files.*left as it is|"
    "an archive name that is a folder|setup_archive_folder||$player|0|kept|left as it is|"
    "an archive name that is a link|setup_archive_link||$player|0|kept|left as it is|"
    "data is a file|setup_data_file||$player|0|kept|left as it is|"
    "FLOOB2_HOME|setup_fresh|FLOOB2_HOME=$work/my games/floob;XDG_DATA_HOME=$work/xdg|$work/my games/floob|0|link||"
    "relative FLOOB2_HOME and CDPATH|setup_fresh|CDPATH=$work/mods:$work;FLOOB2_HOME=tree|$work/cwd/tree|0|link||"
    "XDG_DATA_HOME|setup_fresh|XDG_DATA_HOME=$work/xdg|$work/xdg/floob2|0|link||"
    "relative XDG_DATA_HOME|setup_fresh|XDG_DATA_HOME=relative/folder|$player|0|link||"
    "relative HOME|setup_fresh|HOME=home|-|1|-|^floob2: HOME \\(home\\) is not an absolute path; set FLOOB2_HOME to the folder for your files$|"
    "no HOME|setup_fresh|-u;HOME|-|1|-|^floob2: HOME is not set|"
    "the game's status|setup_fresh|GAME_STATUS=3|$player|3|link||"
    "unlistable data|setup_unlistable||$player|1|kept|$player/data cannot be listed.*left as it is|player"
    "copied archives in a read-only folder|setup_read_only_copy||$player|1|kept|$player/data, an old copy of the archives, cannot be emptied|player"
    "a folder the player made read-only|setup_read_only_folder||$player|0|kept|^floob2: you cannot write in $player: settings, high scores and the save game will not be kept; allow it with: chmod u\\+w '$player'$|player"
    "folder left to root by sudo|setup_root_owned||$player|0|link|^floob2: $player belongs to root and you cannot write in it: settings, high scores and the save game will not be kept; give it back with: sudo chown -R [^ ]+ '$player'$|player"
)

for shell in sh bash; do
    for entry in "${cases[@]}"; do
        IFS='|' read -r name setup environment folder want_status want_data want_err who <<<"$entry"
        rm -rf "${work:?}/home" "$work/my games" "$work/xdg" "$work/cwd"
        mkdir -p "$work/home" "$work/cwd"
        runner=()
        if [ "$who" = player ] && [ "$(id -u)" -eq 0 ]; then
            if ! command -v setpriv >/dev/null; then
                echo "launcher [$shell] $name: skipped (no setpriv to drop root)"
                continue
            fi
        elif [ "$setup" = setup_root_owned ]; then
            echo "launcher [$shell] $name: skipped (needs root)"
            continue
        fi
        "$setup"
        [ "$who" != player ] || [ "$(id -u)" -ne 0 ] || runner=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
        before=$(snapshot "$folder")
        IFS=';' read -r -a assignments <<<"$environment"
        launch "$shell" "${assignments[@]}"
        problem=""
        [ "$status" -eq "$want_status" ] || problem+=" status $status, not $want_status;"
        after=$(snapshot "$folder")
        case $want_data in
            link)
                [ "$(readlink "$folder/data")" = "$archives" ] || problem+=" data is not the link to the archives;"
                [ "$(grep -v ' \./data\( \|/\)' <<<"$after")" = "$(grep -v ' \./data\( \|/\)' <<<"$before")" ] ||
                    problem+=" the player's files changed;"
                ;;
            kept) [ "$after" = "$before" ] || problem+=" the folder changed;" ;;
            -) [ ! -e "$work/home/.local" ] && [ -z "$(ls -A "$work/cwd")" ] || problem+=" a folder was made;" ;;
        esac
        for other in "$player" "$work/xdg/floob2" "$work/tree/data"; do
            [ "$other" = "$folder" ] || [ ! -e "$other" ] || problem+=" $other was made;"
        done
        if [ "$want_status" -eq 0 ] || [ "$want_status" -eq 3 ]; then
            [ "$out" = "game in $(readlink -f "$folder"): [-h] [two words]" ] || problem+=" stdout is \"$out\";"
        else
            [ -z "$out" ] || problem+=" stdout is \"$out\";"
        fi
        if [ -z "$want_err" ]; then
            [ -z "$err" ] || problem+=" stderr is \"$err\";"
        else
            grep -q -E -- "$want_err" <<<"$err" || problem+=" stderr is \"$err\";"
            [ "$(grep -c -E -- "$want_err" <<<"$err")" -le 1 ] || problem+=" said more than once;"
        fi
        leftovers=$(find "$folder" -maxdepth 1 -name '.data-*' -printf '%f ' 2>/dev/null)
        [ -z "$leftovers" ] || problem+=" left $leftovers;"
        [ "$(cd "$archives" 2>/dev/null && sha1sum ./* 2>/dev/null)" = "$archive_sums" ] || problem+=" THE ARCHIVES CHANGED;"
        [ "$folder" = "$work/cwd/tree" ] || [ -z "$(ls -A "$work/cwd")" ] || problem+=" wrote in the current folder;"
        chmod -R u+rwx "$work/home" 2>/dev/null
        if [ -n "$problem" ]; then
            echo "launcher [$shell] $name: FAILED:$problem"
            failures=$((failures + 1))
            restore_archives
            rm -f "$work/tree/data"
        else
            echo "launcher [$shell] $name: ok"
        fi
    done
done

# Three launches at once in a folder whose data is an old copy of the archives,
# round after round: every launch plays, nothing is said, and the folder ends
# with its link, the player's files and the archives as they were.
for shell in sh bash; do
    bad=0
    rm -rf "${work:?}/home"
    for round in $(seq 1 10); do
        rm -rf "$player/data"
        copied_data
        for n in 1 2 3; do
            (cd "$work/cwd" && env -u FLOOB2_HOME -u XDG_DATA_HOME HOME="$work/home" "$shell" "$tree/bin/floob2") \
                >"$work/out.$n" 2>"$work/err.$n" &
        done
        wait
        problem=""
        for n in 1 2 3; do
            [ -s "$work/err.$n" ] && problem+=" launch $n said \"$(cat "$work/err.$n")\";"
            grep -q '^game in ' "$work/out.$n" || problem+=" launch $n did not play;"
        done
        [ "$(readlink "$player/data")" = "$archives" ] || problem+=" data is not the link;"
        [ "$(ls -A "$player" | tr '\n' ' ')" = "data floob2.cfg hiscores.dat savegame.dat " ] ||
            problem+=" the folder holds $(ls -A "$player" | tr '\n' ' ');"
        [ "$(cd "$archives" 2>/dev/null && sha1sum ./* 2>/dev/null)" = "$archive_sums" ] || problem+=" THE ARCHIVES CHANGED;"
        [ "$(ls -A "$archives" | wc -l)" -eq 4 ] || problem+=" the archive folder holds $(ls -A "$archives");"
        if [ -n "$problem" ]; then
            bad=$((bad + 1))
            [ "$bad" -gt 1 ] || echo "launcher [$shell] round $round:$problem"
            restore_archives
        fi
    done
    if [ "$bad" -eq 0 ]; then
        echo "launcher [$shell] three launches at once, 10 rounds: ok"
    else
        echo "launcher [$shell] three launches at once: FAILED in $bad of 10 rounds"
        failures=$((failures + 1))
    fi
done

[ "$failures" -eq 0 ] || {
    echo "launcher: FAILED in $failures cases"
    exit 1
}
echo "launcher: every case passes under sh and bash"
