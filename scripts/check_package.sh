#!/usr/bin/env bash
# Builds the Debian package from a clean copy of the source tree (the files git
# tracks or would track; no build folders) with `dpkg-buildpackage -us -uc -b`,
# then checks that it holds the level tools (the data compiler and the level
# checker, with their manual pages and the level sources) and that they make
# and prove a level, and checks it with lintian (pedantic, with the
# informational tags): an error fails, the rest is shown. The package and its
# lintian report are left in OUT_DIR (default: build-package/).
#   scripts/check_package.sh [OUT_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/build-package}
version=$(dpkg-parsechangelog -l "$top/debian/changelog" -S Version)
rm -rf "$out"
mkdir -p "$out/src"
src=$out/src/floob2-$version

start=$(date +%s)
if git -C "$top" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mkdir -p "$src"
    (cd "$top" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh) |
        (cd "$top" && tar --null -T - -cf -) | (cd "$src" && tar -xf -)
else
    cp -a "$top" "$src"
    rm -rf "$src"/build*
fi

jobs=$(nproc 2>/dev/null || echo 2)
echo "Building the Debian package in $src"
if ! (cd "$src" && DEB_BUILD_OPTIONS="parallel=$jobs" dpkg-buildpackage -us -uc -b) >"$out/build.log" 2>&1; then
    tail -n 60 "$out/build.log"
    echo "check_package: dpkg-buildpackage failed (whole log: $out/build.log)"
    exit 1
fi
built=$(date +%s)
find "$out/src" -maxdepth 1 -type f -exec mv {} "$out/" \;
rm -rf "$out/src"
changes=$(ls "$out"/floob2_"$version"_*.changes)
deb=$(ls "$out"/floob2_"$version"_*.deb)

echo "Depends: $(dpkg-deb -f "$deb" Depends)"
# The level tools, run from the unpacked package on a level made from its own legend.
contents=$(dpkg-deb -c "$deb")
for path in usr/games/floob2-data-compiler usr/games/floob2-level-checker usr/share/man/man6/floob2-data-compiler.6.gz \
    usr/share/man/man6/floob2-level-checker.6.gz usr/share/games/floob2/levels/legend.inc \
    usr/share/games/floob2/levels/floob201.lvl; do
    grep -q " \./$path\$" <<<"$contents" || { echo "check_package: the package lacks /$path"; exit 1; }
done
unpacked=$out/unpacked
dpkg-deb -x "$deb" "$unpacked"
mkdir -p "$unpacked/level"
cp "$unpacked/usr/share/games/floob2/levels/legend.inc" "$unpacked/level/"
{
    printf 'map\n'
    for _ in 1 2 3 4 5 6 7 8; do printf '%30s\n' '' | tr ' ' .; done
    printf '....................EE........\n..@.......*.........EE........\n'
    printf '%30s\n%30s\n' '' '' | tr ' ' '#'
} >"$unpacked/level/my.lvl"
if ! (cd "$unpacked/level" && "$unpacked/usr/games/floob2-data-compiler" compile my.lvl test.bin &&
    "$unpacked/usr/games/floob2-level-checker" test.bin | grep -qx 'finished: yes'); then
    echo "check_package: the packaged level tools do not make and prove a level"
    exit 1
fi
rm -rf "$unpacked"
echo "check_package: the packaged level tools make and prove a level"
status=0
lintian --fail-on error --info --pedantic --display-info "$changes" >"$out/lintian.txt" 2>&1 || status=$?
checked=$(date +%s)
cat "$out/lintian.txt"
echo "check_package: $(basename "$deb") built in $((built - start)) s, lintian took $((checked - built)) s"
if [ "$status" -ne 0 ]; then
    echo "check_package: lintian reports errors"
    exit 1
fi
echo "check_package: the package builds and lintian reports no errors"
