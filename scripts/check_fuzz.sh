#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in a build directory of its own and runs each
# target for a short while from its seed corpus (tests/fuzz/corpus/<target>/),
# as ctest tests. New inputs go to <build>/fuzz/<target>/corpus, crash inputs
# to <build>/fuzz/<target>/artifacts.
# Usage: scripts/check_fuzz.sh [BUILD_DIR]   (default: build-fuzz)
# Environment: FUZZ_SECONDS (per target, default 30), JOBS (default 2).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build-fuzz}")
seconds=${FUZZ_SECONDS:-30}
jobs=${JOBS:-2}

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLOOB_FUZZ=ON \
  -DFLOOB_SANITIZE=ON -DFLOOB_TESTS=OFF -DFLOOB_BENCH=OFF -DFLOOB_FUZZ_SECONDS="$seconds" \
  > "$build.cmake.log" 2>&1 || { cat "$build.cmake.log"; exit 1; }
cmake --build "$build" -j "$jobs" --target fuzz_targets
ctest --test-dir "$build/tests/fuzz" --output-on-failure -j "$jobs"
