#!/usr/bin/env bash
# A user who is neither root nor has sudo gets the one command to run as root, and a
# clear stop, instead of "sudo: command not found". And the Makefile beside it runs it
# before anything that needs what it installs, once per make.
# usage: install_deps_without_root.sh INSTALL_DEPS_SCRIPT
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
# Everything the script calls, but no sudo.
mkdir "$work/bin"
for tool in bash dpkg-query locale grep id env; do
    ln -s "$(command -v "$tool")" "$work/bin/$tool"
done
cp "$script" "$work/install-deps.sh"
run=(env -i PATH="$work/bin" VANTRELL_EXTRA_PACKAGES=vantrell-no-such-package bash "$work/install-deps.sh" run)
if [ "$(id -u)" -eq 0 ]; then
    run=(setpriv --reuid=65534 --regid=65534 --clear-groups "${run[@]}")
fi
set +e
"${run[@]}" >"$work/out" 2>"$work/err"
status=$?
set -e
fail() { echo "FAIL: $*" >&2; cat "$work/out" "$work/err" >&2; exit 1; }
[ "$status" -eq 1 ] || fail "exit status $status, not 1"
grep -q 'apt-get install -y --no-install-recommends vantrell-no-such-package$' "$work/err" ||
    fail "no apt-get line to run as root"
grep -q 'needs root' "$work/err" || fail "no word of why"
! grep -q 'not found' "$work/err" || fail "a missing command surfaced"
echo "install-deps without root or sudo: stopped with the command to run as root"

# The Makefile with install-deps.sh and CMake replaced by stand-ins that log their calls.
make=$work/make
mkdir -p "$make/tools" "$make/bin"
cp "$(dirname "$script")/../Makefile" "$(dirname "$script")/../CMakePresets.json" "$make/"
printf '#!/bin/sh\nsleep 1; touch "%s/installed"; echo "install-deps $1"\n' "$make" >"$make/tools/install-deps.sh"
printf '#!/bin/sh\n[ -e "%s/installed" ] || echo "EARLY"; echo "$(basename "$0") $*"\n' "$make" >"$make/bin/cmake"
chmod +x "$make/tools/install-deps.sh" "$make/bin/cmake"
PATH="$make/bin:$PATH" make -C "$make" -j4 --no-print-directory build >"$make/log" 2>&1 || fail "make -j build: $(cat "$make/log")"
! grep -q EARLY "$make/log" || fail "make -j ran CMake before install-deps.sh had finished: $(cat "$make/log")"
make -C "$make" -n --no-print-directory test >"$make/plan"
for step in "tools/install-deps.sh test" "cmake --preset default" "cmake --preset windows"; do
    [ "$(grep -cxF "$step" "$make/plan")" -eq 1 ] || fail "make test runs \"$step\" $(grep -cxF "$step" "$make/plan") times"
done
echo "make -j: install-deps.sh before CMake; make test: install-deps.sh once, each build configured once"
