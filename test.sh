#!/usr/bin/env bash
# Sets up and builds everything, then runs the whole test suite.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" "$top/build"
cd "$top/build"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" "$@"
