#!/bin/bash
# Mutation campaign against the real binary. Every archive, every level and
# every player's file is mutated in turn (bits flipped, bytes set to edge
# values, cut short, grown, spliced; an archive either as raw bytes or through
# one of its entries, inflated, mutated and packed again), and the game runs on
# each under the dummy drivers with a replay on the simulated clock (archives
# and player's files: the intro, a new game, level 1, pause, EXIT, yes; levels:
# played as maps/test.bin in test mode) and a time-out. The outcomes are
# counted by class: the status and the first word of the message, a signal, a
# time-out, damaged files (an archive changed, a temporary file left, a
# player's file not mutated that changed, or one rewritten into something the
# game would not write). Signals, time-outs and damaged files fail the run.
#
# Called as: bash mutation_campaign.sh <path-to-floob2> <build-dir>
# FLOOB2_MUTATIONS   mutations per file (default 2: the brief run of the suite);
#                    the long run by hand: FLOOB2_MUTATIONS=200 nice bash ...
# FLOOB2_MUTATION_SEED  first seed (default 1); case k of a run uses seed + k.
# FLOOB2_MUTATION_KEEP  a directory that receives the inputs of failing cases.
set -u
game=$(readlink -f "$1")
build=$(readlink -f "$2")
per_file=${FLOOB2_MUTATIONS:-2}
seed=${FLOOB2_MUTATION_SEED:-1}
keep=${FLOOB2_MUTATION_KEEP:-}

work=$(mktemp -d /tmp/floob2-mutation-XXXXXX)
trap 'rm -rf "$work"' EXIT

# Archive entries out and in (Compress::Zlib), and the mutations, seeded.
cat > "$work/mutate.pl" <<'PERL'
use strict;
use warnings;
use Compress::Zlib;
sub slurp { open my $f, "<:raw", $_[0] or die "$_[0]: $!"; local $/; my $d = <$f>; return defined $d ? $d : "" }
sub spew { open my $f, ">:raw", $_[0] or die "$_[0]: $!"; print $f $_[1]; close $f or die }
sub unpack_archive {
    my ($archive, $dir) = @_;
    my $a = slurp($archive);
    my @names;
    for my $i (0 .. ord(substr($a, 3, 1))) {
        my ($name, $offset, $size, $packed) = unpack "Z32VVV", substr($a, 4 + 44 * $i, 44);
        spew("$dir/$name", uncompress(substr($a, $offset, $packed)));
        push @names, $name;
    }
    spew("$dir/.names", join("\n", @names) . "\n");
}
sub pack_archive {
    my ($dir, $archive) = @_;
    my @names = split /\n/, slurp("$dir/.names");
    my ($index, $data) = ("", "");
    my $offset = 4 + 44 * @names;
    for my $name (@names) {
        my $bytes = slurp("$dir/$name");
        my $packed = compress($bytes);
        $index .= pack "a32VVV", $name, $offset + length $data, length $bytes, length $packed;
        $data .= $packed;
    }
    spew($archive, "QVA" . chr(@names - 1) . $index . $data);
}
my @edges = (0, 1, 0x7F, 0x80, 0xFF);
my @edges32 = (0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF, 0x10000);
sub mutate {
    my ($d) = @_;
    for (1 .. 1 + int rand 3) {
        my $n = length $d;
        my $op = int rand 7;
        my $p = $n ? int rand $n : 0;
        if ($op == 0 && $n) {
            for (1 .. 1 + int rand 8) { my $q = int rand $n; substr($d, $q, 1) = chr(ord(substr($d, $q, 1)) ^ (1 << int rand 8)) }
        } elsif ($op == 1 && $n) {
            for (1 .. 1 + int rand 4) { substr($d, int rand $n, 1) = chr($edges[int rand @edges]) }
        } elsif ($op == 2) {
            $d = substr($d, 0, $p);
        } elsif ($op == 3) {
            substr($d, $p, 0) = join "", map { chr int rand 256 } 1 .. 1 + int rand 64;
        } elsif ($op == 4 && $n) {
            substr($d, $p, 1 + int rand 64) = "";
        } elsif ($op == 5 && $n) {
            substr($d, int rand $n, 0) = substr($d, $p, 1 + int rand 256);
        } elsif ($n >= 4) {
            substr($d, int rand($n - 3), 4) = pack "V", $edges32[int rand @edges32];
        }
    }
    return $d;
}
my $command = shift @ARGV;
if ($command eq "unpack") { unpack_archive(@ARGV) }
elsif ($command eq "pack") { pack_archive(@ARGV) }
elsif ($command eq "mutate") {
    my ($s, $in, $out) = @ARGV;
    srand $s;
    spew($out, mutate(slurp($in)));
} elsif ($command eq "mutate-entry") {
    my ($s, $dir, $archive) = @ARGV;
    srand $s;
    my @names = split /\n/, slurp("$dir/.names");
    my $name = $names[int rand @names];
    my $original = slurp("$dir/$name");
    spew("$dir/$name", mutate($original));
    pack_archive($dir, $archive);
    spew("$dir/$name", $original);
    print "$name\n";
} else { die "unknown command $command" }
PERL
mutate() { perl "$work/mutate.pl" "$@"; }

# Through the intro into the main menu; start there (NEW GAME, or CONTINUE
# with a save) and through the story into play; pause, EXIT, yes.
intro='60 - -\n1 S -\n1 - S\n100 - -\n1 S -\n1 - S\n3 - -\n1 S -\n1 - S\n3 - -\n1 S -\n5 S -\n1 - S\n3 - -\n'
printf "${intro}1 - S\n3 - -\n1 - S\n3 - -\n1 - S\n60 R -\n20 RJ -\n1 R J\n60 R -\n1 - P\n1 - D\n1 - S\n3 - -\n1 - L\n30 - -\n" \
    > "$work/session.replay"
# Test mode starts at the credits; the level then runs, jumps and turns back.
printf '3 - -\n1 S -\n1 - S\n190 - -\n150 R -\n20 RJ -\n1 R J\n100 L -\n20 LJ -\n1 L J\n150 R -\n' > "$work/level.replay"

mkdir -p "$work/good" "$work/player"
for a in gfx maps music sound; do
    cp "$build/data/$a.qva" "$work/good/" || exit 1
    mkdir -p "$work/entries/$a"
    mutate unpack "$work/good/$a.qva" "$work/entries/$a" || exit 1
done
# The player's files: a configuration, a save of level 3, and the table the game makes.
(cd "$work/player" && ln -s ../good data && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    FLOOB2_REPLAY="$work/session.replay" timeout -s KILL 60 "$game" >/dev/null 2>&1)
rm -f "$work/player/data"
printf 'mus_volume=80\nsfx_volume=40\nk_jump=x\nup2jump=1\n' > "$work/player/floob2.cfg"
printf '\x12\x37\x34\x11' > "$work/player/savegame.dat"
[ -s "$work/player/hiscores.dat" ] || { echo "FAIL set-up: the game made no high-score file"; exit 1; }

declare -A outcomes=()
failures=0
cases=0

# Runs the game in $work/run and files the outcome; $1 names the case.
run_case() {
    local name="$1"
    shift
    local output status
    output=$(cd "$work/run" && env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy FLOOB2_REPLAY="$replay" \
        timeout -k 5 30 "$game" "$@" 2>/dev/null | head -c 300
        exit "${PIPESTATUS[0]}")
    status=$?
    local outcome first="${output%%$'\n'*}"
    case "$status" in
        0) outcome="status 0" ;;
        124 | 137) outcome="time-out" ;;
        12[5-7]) outcome="could not run ($status)" ;;
        *) if [ "$status" -gt 128 ]; then outcome="signal $((status - 128))"; else outcome="status $status: ${first%%:*}"; fi ;;
    esac
    local a f
    for a in gfx maps music sound; do
        cmp -s "$work/input/$a.qva" "$work/run/data/$a.qva" || outcome="damaged: data/$a.qva changed"
    done
    for f in floob2.cfg savegame.dat hiscores.dat; do
        if [ ! -f "$work/run/$f" ] || [ -L "$work/run/$f" ]; then
            outcome="damaged: $f is no longer a regular file"
        elif ! cmp -s "$work/input/$f" "$work/run/$f"; then
            # The game rewrites a table it replaced and a save when it enters a level.
            local size
            size=$(stat -c %s "$work/run/$f")
            case "$f:$size" in
                hiscores.dat:160 | savegame.dat:4) ;;
                *) outcome="damaged: $f rewritten to $size bytes" ;;
            esac
        fi
    done
    [ -n "$(find "$work/run" -name '*.tmp*' 2>/dev/null)" ] && outcome="damaged: temporary file left"
    outcomes[$outcome]=$((${outcomes[$outcome]:-0} + 1))
    cases=$((cases + 1))
    case "$outcome" in
        signal* | time-out | damaged*)
            failures=$((failures + 1))
            echo "FAIL $name: $outcome"
            if [ -n "$keep" ]; then mkdir -p "$keep" && cp -r "$work/input" "$keep/case-$cases"; fi
            ;;
    esac
}

# A run directory holding the inputs of $work/input.
prepare_run() {
    rm -rf "$work/run"
    mkdir -p "$work/run/data"
    cp "$work/input/"*.qva "$work/run/data/"
    cp "$work/input/floob2.cfg" "$work/input/savegame.dat" "$work/input/hiscores.dat" "$work/run/"
}

# Fresh inputs: the good data and the player's files.
reset_input() {
    rm -rf "$work/input"
    mkdir -p "$work/input"
    cp "$work/good/"*.qva "$work/player/"* "$work/input/"
}

k=0
for ((round = 0; round < per_file; round++)); do
    for a in gfx maps music sound; do
        k=$((k + 1))
        reset_input
        if [ $(((seed + k) % 2)) = 0 ]; then
            mutate mutate $((seed + k)) "$work/good/$a.qva" "$work/input/$a.qva"
            what="$a.qva bytes"
        else
            what="$a.qva entry $(mutate mutate-entry $((seed + k)) "$work/entries/$a" "$work/input/$a.qva")"
        fi
        prepare_run
        replay="$work/session.replay" run_case "$what (seed $((seed + k)))"
    done
    for f in floob2.cfg savegame.dat hiscores.dat; do
        k=$((k + 1))
        reset_input
        mutate mutate $((seed + k)) "$work/player/$f" "$work/input/$f"
        prepare_run
        replay="$work/session.replay" run_case "$f (seed $((seed + k)))"
    done
    while read -r level; do
        k=$((k + 1))
        reset_input
        prepare_run
        mkdir -p "$work/run/maps"
        mutate mutate $((seed + k)) "$work/entries/maps/$level" "$work/run/maps/test.bin"
        cp "$work/run/maps/test.bin" "$work/input/test.bin"
        replay="$work/level.replay" run_case "$level as maps/test.bin (seed $((seed + k)))" -t
    done < "$work/entries/maps/.names"
done

printf '%7s | %s\n' "runs" "outcome"
for outcome in "${!outcomes[@]}"; do printf '%7d | %s\n' "${outcomes[$outcome]}" "$outcome"; done | sort -rn
echo "$cases runs of $per_file mutations per file, seeds $((seed + 1)) to $((seed + k)), $failures failures"
[ "$failures" -eq 0 ]
