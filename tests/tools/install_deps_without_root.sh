#!/usr/bin/env bash
# A user who is neither root nor has sudo gets the one command to run as root, and a
# clear stop, instead of "sudo: command not found".
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
