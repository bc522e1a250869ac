#!/usr/bin/env bash
# Black-box: the ways a scanning program ends other than Quit. Each round runs the
# program on an X server of its own, starts a walk at full speed and then:
#   TERM, HUP, INT  sends the signal: the program ends as Quit ends it, with status 0;
#   DISPLAY         kills the X server: the program ends by itself;
#   FIFO            plants a named pipe under the writer's temporary name, then presses
#                   Escape: the program ends within a second all the same;
#   KILL            kills it outright, which nothing can catch, and plants a dead
#                   copy's temporary: the next start removes them.
# Every round must leave a whole Vantrell.kml and no temporary of the program's own.
# usage: abnormal_ends.sh PROGRAM [ROUNDS]
set -euo pipefail
program=$1
rounds=${2:-3}
source "$(dirname "$0")/harness.sh"
export QT_QPA_PLATFORM=xcb

# A process number that runs nothing: a child that has ended.
dead_pid() {
    sh -c 'echo $$'
}

# Waits until the writer's temporary name has shown itself, and plants a pipe under it.
plant_pipe() {
    local name=""
    for _ in $(seq 2000); do
        name=$(compgen -G "Vantrell.kml.$pid-*.tmp" | head -n 1) && [ -n "$name" ] && break
        sleep 0.005
    done
    [ -n "$name" ] || fail "$1: the writer's temporary never showed"
    for _ in $(seq 2000); do
        mkfifo "$name" 2>/dev/null && { planted=$name; return 0; }
    done
    fail "$1: could not plant a pipe under $name"
}

for round in $(seq "$rounds"); do
    for ending in TERM HUP INT DISPLAY FIFO KILL; do
        what="round $round, $ending"
        start_xvfb
        rm -f Vantrell.kml
        start_form "$what"
        start_full_speed_scan "$window"
        sleep "0.$((RANDOM % 4))"
        planted=""
        case $ending in
        TERM | HUP | INT)
            kill -s "$ending" "$pid"
            wait_for_exit "$pid" 500 || fail "$what: still running 5 s after the signal"
            [ "$exit_status" -eq 0 ] || fail "$what: exit status $exit_status, not as Quit"
            ;;
        DISPLAY)
            kill -9 "$xserver"
            wait "$xserver" 2>/dev/null || true
            wait_for_exit "$pid" 500 || fail "$what: still running 5 s after the display went"
            ;;
        FIFO)
            plant_pipe "$what"
            xdotool windowfocus --sync "$window" key Escape
            wait_for_exit "$pid" 100 || fail "$what: still running 1 s after Escape"
            [ "$exit_status" -eq 0 ] || fail "$what: exit status $exit_status"
            [ -p "$planted" ] || fail "$what: the planted pipe was touched"
            rm -f "$planted"
            ;;
        KILL)
            kill -9 "$pid"
            wait "$pid" 2>/dev/null || true
            touch "Vantrell.kml.$(dead_pid)-00000000deadbeef.tmp"
            start_form "$what, the next start"
            leftovers=$(find . -maxdepth 1 -name '*.tmp')
            [ -z "$leftovers" ] || fail "$what: the next start left $leftovers"
            xdotool windowfocus --sync "$window" key Escape
            wait_for_exit "$pid" 500 || fail "$what: the next start did not quit"
            ;;
        esac
        stop_xvfb
        check_file_left_whole "$what"
    done
done
echo "abnormal ends: $rounds rounds of TERM, HUP, INT, a lost display, a planted pipe and KILL; each left a whole file"
