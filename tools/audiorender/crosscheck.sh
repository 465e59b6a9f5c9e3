#!/usr/bin/env bash
# Renders every built song with the game's own player and with two other module players
# (openmpt123 and xmp, from their Debian packages) and compares the renders' 100 ms levels
# over the first pass, the loop join and the second pass.
# Usage: crosscheck.sh FLOOBAUDIO MUSIC_ENTRY_DIR WORK_DIR
set -euo pipefail
floobaudio=$1 entries=$2 work=$3
for player in openmpt123 xmp; do
  command -v "$player" >/dev/null || { echo "crosscheck: $player is not installed (apt-get install $player)"; exit 1; }
done
mkdir -p "$work"
for module in "$entries"/*.mod; do
  name=$(basename "$module" .mod)
  cp "$module" "$work/$name.mod"
  # The level-complete song and the jingle play once; the others loop.
  case $name in x.* | y.*) repeat=0 loop=() ;; *) repeat=1 loop=(-l) ;; esac
  "$floobaudio" render "$work/$name.mod" "$work/$name.floob.wav" > /dev/null
  openmpt123 -q --force --render --repeat $repeat --samplerate 22050 --no-float --output-type wav "$work/$name.mod" \
    > /dev/null 2>&1
  xmp -q "${loop[@]}" -t 190 -f 22050 -o "$work/$name.xmp.wav" "$work/$name.mod" > /dev/null 2>&1 || true
  "$floobaudio" compare "$work/$name.floob.wav" "$work/$name.mod.wav" | sed "s|$work/||g"
  "$floobaudio" compare "$work/$name.floob.wav" "$work/$name.xmp.wav" | sed "s|$work/||g"
done
