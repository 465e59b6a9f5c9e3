#!/usr/bin/env bash
# Installs what the build needs (Debian packages, only those missing), then
# configures and builds the game, its data, the tools, the tests and benchmarks.
# The Debian packaging tools and the desktop validators are among them: the
# tests install the game and check the package.
# Usage: scripts/setup.sh [BUILD_DIR]   (default: build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}

packages=(build-essential cmake ninja-build pkg-config libsdl1.2-dev libsdl-mixer1.2-dev libmodplug-dev zlib1g-dev
          libgtest-dev libbenchmark-dev xvfb xauth x11-utils x11-apps xdotool libsdl1.2-compat
          clang libclang-rt-14-dev clang-tidy-14 valgrind
          debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream man-db groff-base)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
# A fresh build directory uses Ninja; an existing one keeps its generator.
generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
cmake -S "$top" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.cmake.log" 2>&1 ||
  { cat "$build.cmake.log"; exit 1; }
cmake --build "$build" -j "$jobs"
