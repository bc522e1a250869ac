#!/usr/bin/env bash
# Started where there is no desktop, or where nothing answers on the one named, the
# program says so in one line and ends with 1, never with Qt's abort page. On a real
# Wayland compositor (weston inside this Xvfb) it opens its form with an empty caption,
# a second copy ends at once, and Escape quits.
# usage: no_desktop.sh PROGRAM
set -euo pipefail
program=$1
# The desktop entry's name, which the app id must be.
entry=$(basename "$(realpath "$(dirname "$0")"/../../res/*.desktop)" .desktop)
source "$(dirname "$0")/harness.sh"
# The X server is weston's, for the Wayland case; the program itself never sees it.
start_xvfb 1280x1024x24
mkdir -m 700 rt
export XDG_RUNTIME_DIR=$work/rt

# usage: refused WHAT GREP [VAR=VALUE...]: the program, in that environment alone, ends with
# status 1 and one line on standard error that matches GREP.
refused() {
    local what=$1 pattern=$2
    shift 2
    run env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$program"
    [ "$status" -eq 1 ] || fail "$what: exit status $status, not 1: $err"
    [ "$(wc -l < "$work/err")" -eq 1 ] && grep -q "$pattern" "$work/err" ||
        fail "$what: not one line saying what is missing: $err"
    [ ! -s "$work/out" ] || fail "$what: printed to standard output"
    echo "$what: one line, status 1: $err"
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
command -v weston >/dev/null || fail "weston is not installed (tools/install-deps.sh test)"
weston --backend=x11-backend.so --use-pixman --socket=vantrell-test --width=1200 --height=900 --idle-time=0 \
    >weston.log 2>&1 &
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/vantrell-test" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/vantrell-test" ] || fail "weston did not start: $(tail -3 weston.log)"
wayland=(env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=vantrell-test)
# The client's side of the protocol, as the compositor receives it.
"${wayland[@]}" WAYLAND_DEBUG=client "$program" >first.out 2>protocol & pid=$!
for _ in $(seq 100); do grep -q 'wl_surface@[0-9]*\.attach(wl_buffer' protocol && break; sleep 0.1; done
grep -q 'wl_surface@[0-9]*\.attach(wl_buffer' protocol || fail "no window drawn on Wayland: $(grep -v '^\[' protocol | head -5)"
title=$(grep -o 'xdg_toplevel@[0-9]*\.set_title(.*)' protocol | tail -1)
[ "$title" != "" ] && [ "${title#*set_title}" = '("")' ] ||
    fail "the compositor was last told the title ${title#*set_title}, not (\"\")"
# The compositor finds the desktop entry, and with it the icon, by the app id.
app_id=$(grep -o 'xdg_toplevel@[0-9]*\.set_app_id(.*)' protocol | tail -1)
[ "${app_id#*set_app_id}" = "(\"$entry\")" ] || fail "the app id is ${app_id#*set_app_id}, not (\"$entry\")"
run "${wayland[@]}" "$program"
check_second_copy "Wayland"
# The compositor's X window covers the screen from its corner; keys go where the pointer is.
# A key pressed before the compositor has given the form the keyboard is lost: wait until
# the form is told it has it, then press it, again every half second, for 5 s.
xdotool mousemove 600 450
for _ in $(seq 50); do grep -q 'wl_keyboard@[0-9]*\.enter(' protocol && break; sleep 0.1; done
for _ in $(seq 10); do
    xdotool key Escape
    wait_for_exit "$pid" 50 && break
done
kill -0 "$pid" 2>/dev/null && fail "still running on Wayland 5 s after Escape"
[ "$exit_status" -eq 0 ] || fail "Escape on Wayland ended with status $exit_status"
echo "Wayland: the form drawn, its title (\"\"), app id $entry, a second copy ended with 0, Escape with 0"
