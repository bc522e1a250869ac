#!/usr/bin/env bash
# Started where there is no desktop, the program says so in one line and ends with 1.
# usage: no_desktop.sh PROGRAM
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
set +e
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$program" >out 2>err
status=$?
set -e
[ "$status" -eq 1 ] || { echo "FAIL: exit status $status, not 1: $(cat err)" >&2; exit 1; }
[ "$(wc -l < err)" -eq 1 ] && grep -q 'desktop session' err ||
    { echo "FAIL: not one line saying what is missing: $(cat err)" >&2; exit 1; }
[ ! -s out ] || { echo "FAIL: printed to standard output" >&2; exit 1; }
echo "no desktop: one line, status 1: $(cat err)"
