#!/usr/bin/env bash
# Sets up and builds everything, then runs the whole test suite: the unit and
# game tests (headless), the smoke test under Xvfb, the scripted sessions and the
# level routes; then the hardening checks: the real binary under valgrind, the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# clang-tidy over the game, tools and benchmarks, a short run of every fuzz
# target, and the Debian package built and checked by lintian.
#   ./test.sh            everything
#   ./test.sh --quick    the main suite's unit and system tests only: the content
#                        tests (art, fonts, levels, songs measured from the built
#                        data) run in the full suite
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
"$top/scripts/setup.sh" "$top/build"
if [ "${1:-}" = "--quick" ]; then
    (cd "$top/build" && ctest --output-on-failure -j "$jobs" -L '^(unit|system)$')
    exit 0
fi
(cd "$top/build" && ctest --output-on-failure -j "$jobs")
JOBS=$jobs "$top/scripts/check_memory.sh" "$top/build"
JOBS=$jobs "$top/scripts/check_sanitize.sh" "$top/build-sanitize"
JOBS=$jobs "$top/scripts/check_tidy.sh" "$top/build"
JOBS=$jobs FUZZ_SECONDS=${FUZZ_SECONDS:-30} "$top/scripts/check_fuzz.sh" "$top/build-fuzz"
"$top/scripts/check_package.sh" "$top/build-package"
