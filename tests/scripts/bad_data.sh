#!/bin/bash
# Bad-data runs of the real binary: each archive missing, cut short at several
# points, with a wrong magic, with an entry's packed bytes damaged or with an
# entry that inflates to something that is not an image/sound/level/module; an
# unreadable and a read-only working directory; an oversized configuration
# file. Each run must end with the message and status 1 that the loading rules
# give (or play on, status 0, where a missing or broken part is optional),
# never by a signal or a hang, and must leave the player's files in the
# working directory byte for byte as they were.
# Called as: bash bad_data.sh <path-to-floob2> <build-dir>
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
datac="$build/tools/floobdata"
seed_level="$(cd "$(dirname "$0")/../fuzz/corpus/fuzz_level" && pwd)/small.bin"

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

# The data of the build; while the level sources are not all there yet, the
# maps archive is stood in for by the seed level under all eleven names.
mkdir -p "$work/good"
cp "$build/data/gfx.qva" "$build/data/music.qva" "$build/data/sound.qva" "$work/good/"
have_levels=1
for n in 200 201 202 203 204 205 206 207 208 209 210; do
    grep -aq "floob$n.bin" "$build/data/maps.qva" 2>/dev/null || have_levels=0
done
if [ "$have_levels" = 1 ]; then
    cp "$build/data/maps.qva" "$work/good/"
else
    echo "note: build/data/maps.qva lacks some of floob200..floob210; using a stand-in level"
    mkdir -p "$work/levels"
    names=()
    for n in 200 201 202 203 204 205 206 207 208 209 210; do
        cp "$seed_level" "$work/levels/floob$n.bin"
        names+=("floob$n.bin")
    done
    (cd "$work/levels" && "$datac" pack "$work/good/maps.qva" "${names[@]}") || exit 1
fi

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

# An oversized configuration file: 64 MiB of key-like text.
fresh
head -c 67108864 /dev/zero | tr '\0' 'k' > "$work/run/floob2.cfg"
cp "$work/run/floob2.cfg" "$work/big.cfg"
run_game
cmp -s "$work/big.cfg" "$work/run/floob2.cfg" || { echo "FAIL oversized configuration was rewritten"; failures=$((failures + 1)); }
cp "$work/player/floob2.cfg" "$work/run/floob2.cfg"
check "configuration file of 64 MiB" 0 ""

echo "$runs runs, $failures failures"
[ "$failures" -eq 0 ]
