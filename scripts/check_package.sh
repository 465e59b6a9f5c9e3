#!/usr/bin/env bash
# Builds the Debian package from a clean copy of the source tree (the files git
# tracks or would track; no build folders) with `dpkg-buildpackage -us -uc -b`,
# then checks it with lintian: an error fails, warnings are shown. The package
# and its lintian report are left in OUT_DIR (default: build-package/).
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
status=0
lintian --fail-on error --info "$changes" >"$out/lintian.txt" 2>&1 || status=$?
checked=$(date +%s)
cat "$out/lintian.txt"
echo "check_package: $(basename "$deb") built in $((built - start)) s, lintian took $((checked - built)) s"
if [ "$status" -ne 0 ]; then
    echo "check_package: lintian reports errors"
    exit 1
fi
echo "check_package: the package builds and lintian reports no errors"
