#!/usr/bin/env bash
# Installs what the build needs (Debian packages, only those missing), then
# configures and builds into BUILD_DIR (default: build).
#   scripts/setup.sh [BUILD_DIR]         everything: the game, its data, the
#       tools, the tests and benchmarks, with what the checks use besides (the
#       Debian packaging tools, the desktop validators, clang, valgrind, Xvfb)
#   scripts/setup.sh --play [BUILD_DIR]  only what playing needs: the game, the
#       data compiler and the archives (FLOOB_GAME_ONLY), with only the packages
#       those need. A folder that already holds the whole build keeps it, and
#       only the game and its archives are brought up to date.
# Without root, packages are installed through sudo; without sudo either, the
# one command to run as root is printed and the script ends with status 1.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
play=0
if [ "${1:-}" = "--play" ]; then
    play=1
    shift
fi
build=${1:-$top/build}

packages=(build-essential cmake ninja-build pkg-config libsdl1.2-dev libsdl-mixer1.2-dev libmodplug-dev zlib1g-dev libpng-dev)
if [ "$play" -eq 0 ]; then
    packages+=(libgtest-dev libbenchmark-dev xvfb xauth x11-utils x11-apps xdotool netpbm libsdl1.2-compat
               clang libclang-rt-14-dev clang-tidy-14 valgrind
               debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream man-db groff-base)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        sudo=()
    elif command -v sudo >/dev/null 2>&1; then
        sudo=(sudo)
    else
        echo "These Debian packages are missing: ${missing[*]}"
        echo "Install them as root, then run this again:"
        echo "    apt-get install ${missing[*]}"
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$build"
# A fresh build directory uses Ninja; an existing one keeps its generator.
settings=()
[ -f "$build/CMakeCache.txt" ] || settings=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
targets=()
if [ "$play" -eq 0 ]; then
    settings+=(-DFLOOB_GAME_ONLY=OFF)
elif [ -f "$build/CMakeCache.txt" ] && ! grep -q '^FLOOB_GAME_ONLY:BOOL=ON$' "$build/CMakeCache.txt"; then
    targets=(--target floob2 data)
else
    settings+=(-DFLOOB_GAME_ONLY=ON)
fi
log=$build/cmake-configure.log
if [ "$play" -eq 1 ]; then
    echo "Configuring the game's build in $build (log: $log)"
else
    echo "Configuring the whole build in $build (log: $log)"
fi
cmake -S "$top" -B "$build" "${settings[@]}" >"$log" 2>&1 || { cat "$log"; exit 1; }
echo "Building with $jobs jobs"
cmake --build "$build" -j "$jobs" "${targets[@]}"
