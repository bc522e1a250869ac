#!/usr/bin/env bash
# Runs COMMAND under a virtual X display of its own with a fresh Wine prefix, and removes
# both afterwards, so two runs never share a prefix, its wineserver or the program's
# single-copy mutex. The prefix is warmed up first (one GUI start), so timings inside
# COMMAND are those of a used prefix.
# usage: tools/wine-session.sh COMMAND [ARG...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# As root, in a mount namespace of its own, where a 64 KiB volume that the fault tests
# fill up is mounted at VANTRELL_SMALL_FOLDER, and which every mount leaves with the session.
if [ "$(id -u)" -eq 0 ] && [ -z "${VANTRELL_PRIVATE_MOUNTS:-}" ] && unshare -m true 2>/dev/null; then
    VANTRELL_PRIVATE_MOUNTS=1 exec unshare -m --propagation private "$0" "$@"
fi
if [ -z "${VANTRELL_IN_XVFB:-}" ]; then
    VANTRELL_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
mkdir -p "$top/build/windows"
WINEPREFIX=$(mktemp -d "$top/build/windows/wine-prefix-XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
small=""
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    if [ -n "$small" ]; then umount "$small" 2>/dev/null || true; rmdir "$small"; fi
}
trap cleanup EXIT
if [ -n "${VANTRELL_PRIVATE_MOUNTS:-}" ]; then
    small=$(mktemp -d)
    mount -t tmpfs -o size=64k,mode=777 tmpfs "$small"
    export VANTRELL_SMALL_FOLDER=$small
fi
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
