#!/bin/bash
# scripts/setup.sh --play as an ordinary user without sudo, with a package
# missing: it names the one apt-get line to run as root and ends with status 1,
# before configuring anything. The packages it asks for are the game's alone.
# Called as: bash setup_without_root.sh <path-to-floob2> <build-dir>
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/floob2-setup-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "setup: FAILED: $1"
    cat "$work/out" 2>/dev/null
    exit 1
}

# A PATH with the few tools the script needs before it installs, no sudo, an
# id that is not root and a package database that lacks two of the packages.
mkdir "$work/bin"
for tool in bash dirname grep; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
printf '#!/bin/sh\necho 1000\n' >"$work/bin/id"
printf '#!/bin/sh\ncase "$3" in libmodplug-dev|zlib1g-dev) exit 1 ;; esac\nprintf "install ok installed"\n' \
    >"$work/bin/dpkg-query"
chmod +x "$work/bin/id" "$work/bin/dpkg-query"

PATH=$work/bin /bin/bash "$top/scripts/setup.sh" --play "$work/build" >"$work/out" 2>&1
status=$?
[ "$status" -eq 1 ] || fail "status $status, expected 1"
grep -qx '    apt-get install libmodplug-dev zlib1g-dev' "$work/out" || fail "no line 'apt-get install libmodplug-dev zlib1g-dev'"
[ "$(grep -c 'apt-get' "$work/out")" -eq 1 ] || fail "more than one apt-get line"
! grep -q sudo "$work/out" || fail "the output speaks of sudo"
[ ! -e "$work/build" ] || fail "the build folder was made before the packages were there"
echo "setup: without root or sudo it prints the apt-get line and ends with status 1"
