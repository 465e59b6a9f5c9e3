#!/bin/bash
# Bad-data runs of the real binary: each archive missing, cut short at several
# points, with a wrong magic, with an entry's packed bytes damaged or with an
# entry that inflates to something that is not an image/sound/level/module; an
# unreadable and a read-only working directory; a configuration of 1 GiB.
# Each run must end with the message and status 1 that the loading rules give
# (or play on, status 0, where a missing or broken part is optional), never by
# a signal or a hang, and must leave the player's files in the working
# directory byte for byte as they were.
# Then hostile files and environments: links and stale read-only files where
# the temporary files go, player's files that cannot be read, FIFOs in place
# of every file the game reads, a file-size limit, too little memory, a font
# sheet of 8192 x 8192, and SIGTERM or SIGINT on every screen (the game ends
# by the signal after its normal shutdown), each with its own outcome.
# Called as: bash bad_data.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
datac="$build/tools/floobdata"

work=$(mktemp -d /tmp/floob2-baddata-XXXXXX)
chmod 755 "$work"
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
runs=0

# Through the intro (the logo slides in for a few seconds and ends with its
# jingle or a jump; the two other screens wait for a key), then two seconds of
# the title level; when the replay has run out the game is asked to quit.
cat > "$work/session.replay" <<'EOF'
400 - -
1 J -
1 - J
30 - -
1 J -
1 - J
30 - -
1 J -
1 - J
120 - -
EOF

# The data of the build.
mkdir -p "$work/good"
cp "$build/data/gfx.qva" "$build/data/music.qva" "$build/data/sound.qva" "$build/data/maps.qva" "$work/good/"

# The player's files, as an earlier run left them (the game makes the
# high-score file itself when there is none).
mkdir -p "$work/player"
(cd "$work/player" && ln -s ../good data && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    FLOOB2_REPLAY="$work/session.replay" timeout -s KILL 120 "$game" >/dev/null 2>&1)
rm -f "$work/player/data"
printf 'mus_volume=80\nsfx_volume=40\nk_jump=x\nup2jump=1\n' > "$work/player/floob2.cfg"
printf '\x12\x37\x34\x11' > "$work/player/savegame.dat"
if [ ! -s "$work/player/hiscores.dat" ]; then
    echo "FAIL set-up: the game made no high-score file"
    exit 1
fi

# u32 little-endian at a byte offset of a file
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# "offset packed-size" of the record with the given full name
find_entry() {
    local file="$1" want="$2" count i name
    count=$(( $(od -An -tu1 -j3 -N1 "$file" | tr -d ' ') + 1 ))
    for ((i = 0; i < count; i++)); do
        name=$(dd if="$file" bs=1 skip=$((4 + 44 * i)) count=31 2>/dev/null | tr -d '\0')
        if [ "$name" = "$want" ]; then
            echo "$(u32 "$file" $((4 + 44 * i + 32))) $(u32 "$file" $((4 + 44 * i + 40)))"
            return 0
        fi
    done
    return 1
}

# Fresh run directory: the good data, the player's files.
fresh() {
    local dir="$work/run"
    chmod -R u+rwx "$dir" 2>/dev/null
    rm -rf "$dir"
    mkdir -p "$dir/data"
    cp "$work/good/"*.qva "$dir/data/"
    cp "$work/player/"* "$dir/"
    chmod -R a+rwX "$dir"
}

# Runs the game in $work/run (as the user given, or the caller) and records
# its output and status.
run_game() {
    local as_user="${1:-}"
    local cmd=(env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy FLOOB2_REPLAY="$work/session.replay"
               timeout -s KILL 120 "$game")
    if [ -n "$as_user" ]; then
        cmd=(setpriv --reuid="$as_user" --regid="$as_user" --clear-groups "${cmd[@]}")
    fi
    output=$(cd "$work/run" && "${cmd[@]}" 2>/dev/null)
    status=$?
    output=$(printf '%s' "$output" | head -c 200 | tr '\n' ' ' | sed 's/ $//')
}

# check NAME STATUS PREFIX: the last run ended with that status and its output
# starts with PREFIX (empty: printed nothing); the player's files are intact.
check() {
    local name="$1" want_status="$2" prefix="$3" verdict="ok"
    runs=$((runs + 1))
    if [ "$status" -ge 128 ]; then
        verdict="FAIL (signal $((status - 128)))"
    elif [ "$status" -ne "$want_status" ]; then
        verdict="FAIL (status $status, expected $want_status)"
    elif [ -z "$prefix" ] && [ -n "$output" ]; then
        verdict="FAIL (expected no output)"
    elif [ -n "$prefix" ] && [ "${output#"$prefix"}" = "$output" ]; then
        verdict="FAIL (expected '$prefix...')"
    fi
    local f
    for f in floob2.cfg hiscores.dat savegame.dat; do
        if ! cmp -s "$work/player/$f" "$work/run/$f"; then
            verdict="FAIL ($f changed)"
        fi
    done
    if [ -e "$work/run/floob2.cfg.tmp" ] || [ -e "$work/run/hiscores.dat.tmp" ]; then
        verdict="FAIL (temporary file left behind)"
    fi
    [ "${verdict#FAIL}" != "$verdict" ] && failures=$((failures + 1))
    printf '%-44s | %-6s | %-58s | %s\n' "$name" "$status" "${output:-(nothing)}" "$verdict"
}

# What a broken archive leads to, by archive.
declare -A broken_status=([gfx]=1 [maps]=1 [sound]=1 [music]=0)
declare -A broken_prefix=([gfx]="Error loading gfx file: " [maps]="Can't load file: floob200"
                          [sound]="Can't load sound file: " [music]="")
# The entry that every session loads, by archive.
declare -A used_entry=([gfx]="font.bmp" [maps]="floob200.bin" [sound]="klonk.wav" [music]="y.jingle.mod")
declare -A decode_prefix=([gfx]="Unable to load bitmap: " [maps]="Can't load file: floob200"
                          [sound]="Unable to load sound: " [music]="")

printf '%-44s | %-6s | %-58s | %s\n' "run" "status" "printed" "verdict"

fresh
run_game
check "good data" 0 ""

for a in gfx maps music sound; do
    file="$work/run/data/$a.qva"
    size=$(stat -c %s "$work/good/$a.qva")
    count=$(( $(od -An -tu1 -j3 -N1 "$work/good/$a.qva" | tr -d ' ') + 1 ))

    fresh; rm "$file"; run_game
    check "$a missing" "${broken_status[$a]}" "${broken_prefix[$a]}"

    fresh; : > "$file"; run_game
    check "$a empty" "${broken_status[$a]}" "${broken_prefix[$a]}"

    read -r used_offset used_packed < <(find_entry "$work/good/$a.qva" "${used_entry[$a]}")
    for cut in 2 4 $((4 + 44 * count / 2)) $((4 + 44 * count)) $((size / 2)) $((size - 1)); do
        fresh; truncate -s "$cut" "$file"; run_game
        # Every image and sound is loaded in a session, so any cut shows; of the
        # levels only the title's is, and a cut behind it leaves it whole.
        if [ "$a" = maps ] && [ "$cut" -ge $((used_offset + used_packed)) ]; then
            check "$a cut to $cut of $size (title level whole)" 0 ""
        else
            check "$a cut to $cut of $size bytes" "${broken_status[$a]}" "${broken_prefix[$a]%floob200}"
        fi
    done

    fresh; printf 'QVB' | dd of="$file" conv=notrunc 2>/dev/null; run_game
    check "$a wrong magic" "${broken_status[$a]}" "${broken_prefix[$a]}"

    fresh
    printf 'DAMAGED!' | dd of="$file" bs=1 seek=$((used_offset + used_packed / 2)) conv=notrunc 2>/dev/null
    run_game
    check "$a ${used_entry[$a]} packed bytes damaged" "${broken_status[$a]}" "${broken_prefix[$a]}"

    # Entries that inflate well but hold the wrong kind of bytes: the first one
    # loaded ends the run (fonts, sounds, the title level) or stays silent (music).
    mkdir -p "$work/entries-$a"
    entries=()
    for ((i = 0; i < count; i++)); do
        name=$(dd if="$work/good/$a.qva" bs=1 skip=$((4 + 44 * i)) count=31 2>/dev/null | tr -d '\0')
        entries+=("$name")
    done
    (cd "$work/entries-$a" && for name in "${entries[@]}"; do
        printf 'this is not what the game expects under this name\n' > "$name"
    done)
    fresh
    (cd "$work/entries-$a" && "$datac" pack "$file" "${entries[@]}") >/dev/null
    run_game
    check "$a entries not decodable" "${broken_status[$a]}" "${decode_prefix[$a]}"
    if [ "$a" = gfx ] && [ "$status" = 1 ]; then
        if ! cmp -s "$work/run/fuu.xxx" "$work/entries-$a/font.bmp"; then
            echo "FAIL gfx entries not decodable: fuu.xxx does not hold the undecodable bytes"
            failures=$((failures + 1))
        fi
    fi
done

# The working directory: unreadable, then read-only. Root reads and writes
# everything, so these run as an unprivileged user when the script is root.
user=""
if [ "$(id -u)" = 0 ]; then
    user=$(id -u nobody 2>/dev/null || echo 65534)
fi
fresh; chmod 000 "$work/run"; run_game "$user"; chmod 755 "$work/run"
check "working directory unreadable" 1 "Error loading gfx file: font"

fresh; chmod -R a-w "$work/run"; run_game "$user"; chmod -R u+w "$work/run"
check "working directory read-only" 0 ""

fresh; rm -f "$work/run/hiscores.dat"; chmod -R a-w "$work/run"; run_game "$user"; chmod -R u+w "$work/run"
if [ -e "$work/run/hiscores.dat" ]; then
    echo "FAIL read-only directory: a high-score file appeared"
    failures=$((failures + 1))
fi
cp "$work/player/hiscores.dat" "$work/run/hiscores.dat"
check "read-only, no high-score file to make" 0 ""


# ---- Hostile files and environments --------------------------------------

# The intro, ended as a player would (the logo, the warning and the credits),
# into the main menu; with the player's save the menu opens on CONTINUE.
intro='60 - -\n1 S -\n1 - S\n100 - -\n1 S -\n1 - S\n3 - -\n1 S -\n1 - S\n3 - -\n1 S -\n5 S -\n1 - S\n3 - -\n'
to_options='1 - D\n1 - D\n1 - S\n2 - -\n'
volume_down='1 - D\n10 - -\n1 - D\n10 - -\n1 - L\n10 - -\n'
leave_options='1 - U\n10 - -\n1 - U\n10 - -\n1 - U\n10 - -\n1 - S\n20 - -\n'
to_level1='1 - U\n3 - -\n1 - S\n3 - -\n1 - S\n3 - -\n1 - S\n20 R -\n'
# Lives lost through the pause menu's SUICIDE, the hop hurried by start.
life='1 - -\n1 - S\n1 - P\n1 - U\n1 - S\n1 - S\n40 - -\n'
six_lives="$life$life$life$life$life$life"
replay() { printf "$intro$2" > "$work/$1.replay"; }
replay options "$to_options$volume_down$leave_options"
replay escape_twice "${to_level1}1 - - Q\n3 - -\n1 - - Q\n20 - -\n1 - - Q\n"

# A small level of our own for the screens after play: an emerald right of
# the start and the exit behind it.
mkdir -p "$work/small"
cp "$(dirname "$0")/../../assets/maps/legend.inc" "$work/small/"
{
    echo "map"
    for _ in $(seq 1 9); do printf '%40s\n' '' | tr ' ' '.'; done
    echo "..........EE............................"
    echo "..@.*.....EE............................"
    printf '%40s\n' '' | tr ' ' '#'
} > "$work/small/small.lvl"
"$datac" compile "$work/small/small.lvl" "$work/small/small.bin" >/dev/null || exit 1
small_names=()
for n in 200 201 202 203 204 205 206 207 208 209 210; do
    cp "$work/small/small.bin" "$work/small/floob$n.bin"
    small_names+=("floob$n.bin")
done
(cd "$work/small" && "$datac" pack "$work/small/maps.qva" "${small_names[@]}") >/dev/null || exit 1
# A high-score table of ten zero scores, so that one point reaches the name entry.
perl -e 'my $t = ""; $t .= pack("a8CCCCV", "ZERO", 0, 0, 0, 0, 0) for 1..10;
         my $p = 0xB7; print join "", map { $p = ord($_) ^ $p; chr $p } split //, $t' > "$work/small/hiscores.dat"

# Fresh run directory with the small level as every map and the zero table.
fresh_small() {
    fresh
    cp "$work/small/maps.qva" "$work/run/data/maps.qva"
    cp "$work/small/hiscores.dat" "$work/run/hiscores.dat"
}

# run_with REPLAY SECONDS ULIMIT [ARGS...]: runs the game in $work/run with its
# own replay, time-out, limit ("" for none) and arguments, as $as_user when set.
as_user=""
run_with() {
    local replay="$1" seconds="$2" limit="$3"
    shift 3
    local cmd=(env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy FLOOB2_REPLAY="$replay"
               timeout -s KILL "$seconds" "$game" "$@")
    [ -n "$as_user" ] && cmd=(setpriv --reuid="$as_user" --regid="$as_user" --clear-groups "${cmd[@]}")
    output=$(cd "$work/run" && { [ -z "$limit" ] || ulimit $limit; } && "${cmd[@]}" 2>"$work/stderr")
    status=$?
    output=$(printf '%s' "$output" | head -c 200 | tr '\n' ' ' | sed 's/ $//')
}

# expect NAME STATUS PREFIX [PROBLEM]: the last run ended with that status
# (124 and up: by that signal number plus 128) and printed PREFIX first; no
# temporary file is left; PROBLEM, when not empty, says what else went wrong.
expect() {
    local name="$1" want="$2" prefix="$3" problem="${4:-}" verdict="ok"
    runs=$((runs + 1))
    if [ "$status" -ne "$want" ]; then
        verdict="FAIL (status $status, expected $want)"
    elif [ -z "$prefix" ] && [ -n "$output" ]; then
        verdict="FAIL (expected no output)"
    elif [ -n "$prefix" ] && [ "${output#"$prefix"}" = "$output" ]; then
        verdict="FAIL (expected '$prefix...')"
    elif [ -n "$(find "$work/run" -maxdepth 1 -name '*.tmp*' -type f 2>/dev/null)" ]; then
        verdict="FAIL (temporary file left behind)"
    elif [ -n "$problem" ]; then
        verdict="FAIL ($problem)"
    fi
    [ "${verdict#FAIL}" != "$verdict" ] && failures=$((failures + 1))
    printf '%-44s | %-6s | %-58s | %s\n' "$name" "$status" "${output:-(nothing)}" "$verdict"
}

# same NAME...: a problem text when a player's file differs from the one put there.
same() {
    local f
    for f in "$@"; do cmp -s "$work/player/$f" "$work/run/$f" || { echo "$f changed"; return; }; done
}
nobody=$(id -u nobody 2>/dev/null || echo 65534)
unprivileged=""
[ "$(id -u)" = 0 ] && unprivileged="$nobody"

# A link where the temporary file goes never leads the write elsewhere.
fresh; rm "$work/run/hiscores.dat"; echo "not the game's" > "$work/victim"
ln -s "$work/victim" "$work/run/hiscores.dat.tmp"
run_with "$work/session.replay" 60 ""
problem=""
[ "$(cat "$work/victim")" = "not the game's" ] || problem="written through the link"
[ -f "$work/run/hiscores.dat" ] && [ ! -L "$work/run/hiscores.dat" ] || problem="no high-score file made"
[ -L "$work/run/hiscores.dat.tmp" ] && problem="stale link left"
expect "link named hiscores.dat.tmp" 0 "" "$problem"

# A read-only temporary file left by a game killed while saving blocks nothing.
fresh; rm "$work/run/hiscores.dat"; echo stale > "$work/run/hiscores.dat.tmp"; chmod 0444 "$work/run/hiscores.dat.tmp"
as_user="$unprivileged" run_with "$work/session.replay" 60 ""
problem=""
[ -s "$work/run/hiscores.dat" ] || problem="the table was not saved"
[ -e "$work/run/hiscores.dat.tmp" ] && problem="stale file left"
expect "stale read-only hiscores.dat.tmp" 0 "" "$problem"

# Player's files that exist but cannot be read are never written over; the
# configuration is changed and saved in the options on the way.
fresh; chmod 000 "$work/run/hiscores.dat" "$work/run/floob2.cfg"
as_user="$unprivileged" run_with "$work/options.replay" 60 ""
chmod 644 "$work/run/hiscores.dat" "$work/run/floob2.cfg"
expect "unreadable hiscores.dat and floob2.cfg" 0 "" "$(same hiscores.dat floob2.cfg)"

# FIFOs and devices in place of the files the game reads: refused at once.
for f in hiscores.dat floob2.cfg savegame.dat; do
    fresh; rm "$work/run/$f"; mkfifo "$work/run/$f"
    run_with "$work/options.replay" 20 ""
    problem=""
    [ -p "$work/run/$f" ] || problem="the FIFO was replaced"
    expect "FIFO as $f" 0 "" "$problem"
done
fresh; rm "$work/run/floob2.cfg"; ln -s /dev/zero "$work/run/floob2.cfg"; run_with "$work/options.replay" 20 ""
problem=""
[ -L "$work/run/floob2.cfg" ] || problem="the link to a device was replaced"
expect "floob2.cfg a link to /dev/zero" 0 "" "$problem"
fresh; rm "$work/run/data/gfx.qva"; mkfifo "$work/run/data/gfx.qva"; run_with "$work/session.replay" 20 ""
expect "FIFO as data/gfx.qva" 1 "Error loading gfx file: font"
fresh; mkdir "$work/run/maps"; mkfifo "$work/run/maps/test.bin"; run_with "$work/session.replay" 20 "" -t
expect "FIFO as maps/test.bin (test mode)" 1 "Can't load file: maps/test.bin"

# Huge files: only what the game can use is read.
fresh; truncate -s 1G "$work/run/floob2.cfg"; cp --sparse=always "$work/run/floob2.cfg" "$work/big.cfg"
run_with "$work/session.replay" 30 ""
problem=""
cmp -s "$work/big.cfg" "$work/run/floob2.cfg" || problem="the configuration was rewritten"
rm -f "$work/big.cfg"
expect "floob2.cfg of 1 GiB (sparse)" 0 "" "$problem"
fresh; mkdir "$work/run/maps"; cp "$work/small/small.bin" "$work/run/maps/test.bin"
truncate -s 1G "$work/run/maps/test.bin"; run_with "$work/session.replay" 30 "" -t
expect "maps/test.bin of 1 GiB (test mode)" 0 ""

# A file-size limit makes the save fail instead of killing the game.
fresh; run_with "$work/options.replay" 60 "-f 0"
expect "ulimit -f 0, options saved" 0 "" "$(same floob2.cfg)"

# Too little memory: whatever fails ends with its message and status 1 (or
# the dynamic loader's 127 before the game runs, or GLib's abort when it
# cannot allocate while the libraries are loaded), never by a signal. Without
# the memory for SDL's audio thread the game plays on silently, so the least
# memory the session needs lies near the loader's limits. The
# failures lie in a narrow band of limits just below the least the session
# needs, found first by halving; the band is then tried in steps of 125 KiB.
# AddressSanitizer reserves terabytes of address space for its shadow memory,
# so a build with it cannot start under any such limit: the runs are skipped.
if ldd "$game" | grep -q 'libasan'; then
    echo "ulimit -v: skipped, the game is built with AddressSanitizer"
else
    memory_run() { run_with "$work/session.replay" 60 "-v $1"; }
    fresh
    low=20000; high=400000
    while [ $((high - low)) -gt 250 ]; do
        mid=$(((low + high) / 2))
        memory_run "$mid"
        if [ "$status" = 0 ]; then high=$mid; else low=$mid; fi
    done
    oom_runs=0; oom_fatal=0; oom_problem=""
    for ((kib = high - 8000; kib <= high + 4000; kib += 125)); do
        memory_run "$kib"
        oom_runs=$((oom_runs + 1))
        case "$status" in
            0 | 127) ;;
            1) oom_fatal=$((oom_fatal + 1)) ;;
            134) grep -q '^GLib.*Aborting' "$work/stderr" ||
                oom_problem="status 134 at ulimit -v $kib: $output" ;;
            *) oom_problem="status $status at ulimit -v $kib: $output" ;;
        esac
    done
    status=0; output=""
    [ "$oom_fatal" -gt 0 ] || oom_problem="${oom_problem:-no limit reached a fatal error}"
    expect "ulimit -v near $high KiB: $oom_fatal of $oom_runs fatal" 0 "" "$oom_problem"
fi

# A font sheet of 8192 x 8192 pixels in an entry of a few KiB.
mkdir -p "$work/hugefont"
perl -MCompress::Zlib -e '
    open my $in, "<:raw", $ARGV[0] or die; local $/; my $a = <$in>;
    my $n = ord(substr($a, 3, 1)) + 1;
    for my $i (0 .. $n - 1) {
        my ($name, $off, $size, $packed) = unpack "Z32VVV", substr($a, 4 + 44 * $i, 44);
        open my $out, ">:raw", "$ARGV[1]/$name" or die; print $out uncompress(substr($a, $off, $packed));
    }' "$work/good/gfx.qva" "$work/hugefont"
perl -e 'my ($w, $h) = (8192, 8192); my $row = $w / 8; my $bits = "\0" x ($row * $h);
         print "BM", pack("VvvV", 62 + length $bits, 0, 0, 62), pack("VllvvVVllVV", 40, $w, $h, 1, 1, 0,
               length $bits, 2835, 2835, 2, 0), pack("V2", 0, 0xFFFFFF), $bits' > "$work/hugefont/fontbig.bmp"
fresh
(cd "$work/hugefont" && "$datac" pack "$work/run/data/gfx.qva" *.bmp) >/dev/null
run_with "$work/session.replay" 30 ""
expect "fontbig.bmp of 8192 x 8192 pixels" 1 "Unable to load bitmap: Malformed BMP header"

# The dump of an undecodable image is never written through a link.
fresh; echo "not the game's" > "$work/victim"; ln -s "$work/victim" "$work/run/fuu.xxx"
(cd "$work/entries-gfx" && "$datac" pack "$work/run/data/gfx.qva" *.bmp) >/dev/null
run_with "$work/session.replay" 30 ""
problem=""
[ "$(cat "$work/victim")" = "not the game's" ] || problem="written through the link"
[ -f "$work/run/fuu.xxx" ] && [ ! -L "$work/run/fuu.xxx" ] || problem="no dump made"
expect "fuu.xxx a link" 1 "Unable to load bitmap: " "$problem"

# A second quit request answers the quit question, also with LEFT unbound.
fresh; sed -i 's/^k_jump=x$/k_left9276/' "$work/run/floob2.cfg"; cp "$work/run/floob2.cfg" "$work/left.cfg"
run_with "$work/escape_twice.replay" 20 ""
problem=""
cmp -s "$work/left.cfg" "$work/run/floob2.cfg" || problem="floob2.cfg changed"
expect "LEFT unbound, Escape twice in play" 0 "" "$problem$(same hiscores.dat savegame.dat)"

# SIGTERM or SIGINT on every screen ends the game by that signal, through the
# normal shutdown, with nothing written: the replay sends the signal in the
# poll given and then goes on, so a game that stayed would still be playing.
after="600 R -\n1 - S\n600 - -\n"
signal_case() {
    local name="$1" setup="$2" steps="$3" letter="${4:-T}" want=143
    [ "$letter" = I ] && want=130
    $setup
    printf "$steps\n" | sed "\$s/\$/ $letter/" > "$work/signal.replay"
    printf "$after" >> "$work/signal.replay"
    run_with "$work/signal.replay" 30 ""
    expect "$name" "$want" "" "$(same floob2.cfg savegame.dat)"
}
signal_case "SIGTERM on the logo screen" fresh '10 - -\n1 - -'
signal_case "SIGINT on the title" fresh "${intro}20 - -\n1 - -" I
signal_case "SIGTERM on the options, volume changed" fresh "$intro$to_options${volume_down}1 - -"
signal_case "SIGTERM while a key is captured" fresh "$intro${to_options}1 - S\n10 - -\n1 - -"
signal_case "SIGTERM on the opening story" fresh "${intro}1 - U\n3 - -\n1 - S\n3 - -\n1 - -"
signal_case "SIGTERM during play" fresh "$intro${to_level1}1 R -"
signal_case "SIGINT during play" fresh "$intro${to_level1}1 R -" I
signal_case "SIGTERM in the pause menu" fresh "$intro${to_level1}1 - P\n5 - -\n1 - -"
signal_case "SIGTERM on the quit question" fresh "$intro${to_level1}1 - - Q\n3 - -\n1 - -"
signal_case "SIGTERM at the level end" fresh_small "$intro${to_level1}80 R -\n30 - -\n1 - -"
signal_case "SIGTERM on game over" fresh_small "$intro${to_level1}20 R -\n$six_lives""20 - -\n1 - -"
signal_case "SIGTERM in the name entry" fresh_small "$intro${to_level1}20 R -\n$six_lives""1 - S\n20 - -\n1 - -"
signal_case "SIGTERM on CONTINUE?" fresh_small \
    "$intro${to_level1}20 R -\n$six_lives""1 - S\n5 - -\n5 S -\n1 - S\n20 - -\n1 - -"
fresh_finale() { fresh; printf '\x12\x3e\x34\x18' > "$work/run/savegame.dat"; cp "$work/run/savegame.dat" "$work/player/"; }
signal_case "SIGTERM on the finale" fresh_finale "${intro}1 - S\n3 - -\n1 - -"
printf '\x12\x37\x34\x11' > "$work/player/savegame.dat"

# In real time, with no replay: a signal ends the game within a second, on
# the logo screen while the logo slides in and once it waits for a key.
for when in "1 TERM 143 sliding" "4 INT 130 waiting"; do
    read -r seconds sig want screen <<< "$when"
    fresh
    (cd "$work/run" && exec env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$game" >/dev/null 2>&1) &
    pid=$!
    sleep "$seconds"
    sent=$(date +%s%N)
    kill -"$sig" "$pid"
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
    wait "$pid"
    status=$?
    took=$(( ($(date +%s%N) - sent) / 1000000 ))
    output=""
    problem=""
    [ "$took" -lt 1000 ] || problem="took $took ms"
    expect "SIG$sig on the logo screen, $screen (${took} ms)" "$want" "" "$problem$(same floob2.cfg savegame.dat)"
done

echo "$runs runs, $failures failures"
[ "$failures" -eq 0 ]
