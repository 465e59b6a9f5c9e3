#!/usr/bin/env bash
# Builds the game, its data, the tools and the whole test suite with
# AddressSanitizer and UndefinedBehaviorSanitizer in a build directory of its
# own, and runs every ctest test there. Any sanitizer report fails the test
# that triggered it (UBSan halts on the first error; leaks are reported by
# LeakSanitizer, with the system libraries' own leaks suppressed).
# Usage: scripts/check_sanitize.sh [BUILD_DIR]   (default: build-sanitize)
# Environment: JOBS (parallel build and test jobs, default 2).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build-sanitize}")
jobs=${JOBS:-2}

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLOOB_SANITIZE=ON -DFLOOB_BENCH=OFF \
  > "$build.cmake.log" 2>&1 || { cat "$build.cmake.log"; exit 1; }
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$top/scripts/lsan_system.supp:print_suppressions=0"
cd "$build"
ctest --output-on-failure -j "$jobs"
