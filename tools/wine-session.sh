#!/usr/bin/env bash
# Runs COMMAND under a virtual X display of its own with a fresh Wine prefix, and removes
# both afterwards, so two runs never share a prefix, its wineserver or the program's
# single-copy mutex. The prefix is warmed up first (one GUI start), so timings inside
# COMMAND are those of a used prefix.
# usage: tools/wine-session.sh COMMAND [ARG...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${VANTRELL_IN_XVFB:-}" ]; then
    VANTRELL_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
mkdir -p "$top/build/windows"
WINEPREFIX=$(mktemp -d "$top/build/windows/wine-prefix-XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
started=$(date +%s)
"$top/tools/wine-prefix.sh" --unmanaged
# The first window in a new prefix takes seconds (fonts, the X11 driver); pay for it here.
wine winver.exe >/dev/null 2>&1 & warm=$!
for _ in $(seq 300); do
    xdotool search --onlyvisible --name 'About Wine' >/dev/null 2>&1 && break
    sleep 0.1
done
kill "$warm" 2>/dev/null || true
wait "$warm" 2>/dev/null || true
echo "Wine prefix ready in $(( $(date +%s) - started )) s: $WINEPREFIX"
"$@"
