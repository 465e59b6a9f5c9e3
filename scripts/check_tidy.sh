#!/usr/bin/env bash
# Runs clang-tidy-14 with the project's .clang-tidy over our own sources: every
# file of the game, the tools and the benchmarks that the build compiles, as
# listed in its compile_commands.json, and the project headers they include;
# two files at a time; fails on any warning. The test programs are left out:
# the analyzer spends about five times as long on them (the GoogleTest macros)
# as on everything else together, and they run under both sanitizers instead.
# Usage: scripts/check_tidy.sh [BUILD_DIR]   (default: build)
# Environment: JOBS (files checked at once, default 2); TIDY_FILES (an
# extended regular expression over paths from the top of the tree choosing
# the sources, default the game's folders, tools/ and bench/).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build}")
jobs=${JOBS:-2}
tidy=${CLANG_TIDY:-clang-tidy-14}
commands="$build/compile_commands.json"
[ -f "$commands" ] || { echo "check_tidy: $commands missing (configure the build first)" >&2; exit 1; }
command -v "$tidy" > /dev/null || { echo "check_tidy: $tidy not found (apt-get install clang-tidy-14)" >&2; exit 1; }

mapfile -t files < <(sed -n 's/^ *"file": "\(.*\)".*$/\1/p' "$commands" | grep "^$top/" | grep -v "^$build/" |
                       sed "s|^$top/||" | grep -E "${TIDY_FILES:-^(include|audio|gfx|shell|storage|world|tools|bench)/}" | sort -u)
[ ${#files[@]} -gt 0 ] || { echo "check_tidy: no sources found in $commands" >&2; exit 1; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$(date +%s)
# --warnings-as-errors makes clang-tidy exit non-zero on any warning; xargs then fails.
status=0
cd "$top"
printf '%s\n' "${files[@]}" |
  xargs -P "$jobs" -n 4 "$tidy" -p "$build" --quiet --warnings-as-errors='*' > "$log" 2>&1 || status=$?
grep -E '(warning|error):' "$log" | sort -u || true
echo "check_tidy: ${#files[@]} files in $(( $(date +%s) - start )) s"
if [ "$status" -ne 0 ]; then
  echo "check_tidy: clang-tidy found problems" >&2
  grep -qE '(warning|error):' "$log" || cat "$log"
  exit 1
fi
