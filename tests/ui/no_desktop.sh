#!/usr/bin/env bash
# Started where there is no desktop, or where nothing answers on the one named, the
# program says so in one line and ends with 1, never with Qt's abort page. On a real
# Wayland compositor (weston inside this Xvfb) it opens its form with an empty caption,
# a second copy ends at once, and Escape quits. Run it inside xvfb-run.
# usage: no_desktop.sh PROGRAM
set -euo pipefail
program=$1
work=$(mktemp -d)
weston_pid=0
pid=0
cleanup() {
    # Never "kill 0": that is this script's own process group.
    for running in "$pid" "$weston_pid"; do
        [ "$running" -gt 0 ] && kill -9 "$running" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
mkdir -m 700 rt
export XDG_RUNTIME_DIR=$work/rt

# usage: refused WHAT GREP [VAR=VALUE...]: the program, in that environment alone, ends with
# status 1 and one line on standard error that matches GREP.
refused() {
    local what=$1 pattern=$2
    shift 2
    set +e
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" timeout 10 "$program" >out 2>err
    local status=$?
    set -e
    [ "$status" -eq 1 ] || { echo "FAIL: $what: exit status $status, not 1: $(cat err)" >&2; exit 1; }
    [ "$(wc -l < err)" -eq 1 ] && grep -q "$pattern" err ||
        { echo "FAIL: $what: not one line saying what is missing: $(cat err)" >&2; exit 1; }
    [ ! -s out ] || { echo "FAIL: $what: printed to standard output" >&2; exit 1; }
    echo "$what: one line, status 1: $(cat err)"
}

dead=90
while [ -e "/tmp/.X11-unix/X$dead" ] || [ -e "/tmp/.X$dead-lock" ] || xdpyinfo -display ":$dead" >/dev/null 2>&1; do dead=$((dead + 1)); done
# A compositor that crashed leaves its socket behind, with nothing listening.
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$XDG_RUNTIME_DIR/wayland-stale"

refused "no desktop" 'needs a desktop session'
refused "dead X server" "could not connect to display :$dead" DISPLAY=":$dead"
refused "Wayland socket without a compositor" 'desktop session (.*wl_display' WAYLAND_DISPLAY=wayland-stale
refused "Wayland socket without a compositor, dead X server" 'desktop session (.*wl_display.*:'"$dead" \
    WAYLAND_DISPLAY=wayland-stale DISPLAY=":$dead"
refused "missing platform plugin" 'platform plugin "no-such-platform"' QT_QPA_PLATFORM=no-such-platform

# A real Wayland session, with no X server behind the program to fall back to.
command -v weston >/dev/null || { echo "FAIL: weston is not installed (tools/install-deps.sh test)" >&2; exit 1; }
weston --backend=x11-backend.so --use-pixman --socket=vantrell-test --width=1200 --height=900 --idle-time=0 \
    >weston.log 2>&1 & weston_pid=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/vantrell-test" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/vantrell-test" ] || { echo "FAIL: weston did not start: $(tail -3 weston.log)" >&2; exit 1; }
wayland() { env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=vantrell-test "$@"; }
# The client's side of the protocol, as the compositor receives it.
wayland WAYLAND_DEBUG=client "$program" >out 2>protocol & pid=$!
for _ in $(seq 100); do grep -q 'wl_surface@[0-9]*\.attach(wl_buffer' protocol && break; sleep 0.1; done
grep -q 'wl_surface@[0-9]*\.attach(wl_buffer' protocol ||
    { echo "FAIL: no window drawn on Wayland: $(grep -v '^\[' protocol | head -5)" >&2; exit 1; }
title=$(grep -o 'xdg_toplevel@[0-9]*\.set_title(.*)' protocol | tail -1)
[ "$title" != "" ] && [ "${title#*set_title}" = '("")' ] ||
    { echo "FAIL: the compositor was last told the title ${title#*set_title}, not (\"\")" >&2; exit 1; }
set +e
wayland timeout 10 "$program" >second.out 2>&1
second=$?
set -e
[ "$second" -eq 0 ] && [ ! -s second.out ] ||
    { echo "FAIL: a second copy on Wayland ended with $second: $(cat second.out)" >&2; exit 1; }
# The compositor's X window covers the screen from its corner; keys go where the pointer is.
xdotool mousemove 600 450
xdotool key Escape
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && { echo "FAIL: still running on Wayland 5 s after Escape" >&2; exit 1; }
set +e
wait "$pid"
status=$?
set -e
pid=0
[ "$status" -eq 0 ] || { echo "FAIL: Escape on Wayland ended with status $status" >&2; exit 1; }
echo "Wayland: the form drawn, its title (\"\"), a second copy ended with 0, Escape with 0"
