#!/usr/bin/env bash
# Black-box: a real window under Xvfb, driven through the keyboard as a user drives it.
# The form is filled in tab order, Start runs a walk at full speed, the file is read
# over and over for a random moment, then Escape quits. Every read must find a whole
# document, and the program must end promptly with status 0, leaving a whole
# Vantrell.kml and no temporary file.
# usage: quit_while_scanning.sh PROGRAM [ROUNDS]
set -euo pipefail
program=$1
rounds=${2:-5}
source "$(dirname "$0")/harness.sh"
start_xvfb
export QT_QPA_PLATFORM=xcb
reads=0

# Reads Vantrell.kml for $1 ms as a viewer would, while the walk rewrites it: every read
# must find one whole document.
read_whole_for() {
    local t=$EPOCHREALTIME text lines
    local end=$((10#${t/./} + $1 * 1000))
    while t=$EPOCHREALTIME && [ $((10#${t/./})) -lt "$end" ]; do
        text=""
        { IFS= read -r -d '' text || true; } < Vantrell.kml
        lines=${text//[^$'\n']/}
        [ ${#lines} -eq 13 ] && [[ $text == '<?xml '*$'\n</kml>\n' ]] || fail "$2: read a document not whole: $text"
        reads=$((reads + 1))
    done
}

for round in $(seq "$rounds"); do
    rm -f Vantrell.kml
    start_form "round $round"
    if [ "$round" -eq 1 ]; then
        # The form has no caption: the title bar and the taskbar show no text.
        for _ in $(seq 40); do
            title=$(xprop -id "$window" _NET_WM_NAME WM_NAME)
            echo "$title" | grep -q '= "' || break
            sleep 0.05
        done
        echo "$title" | grep -q '= "' && fail "the form has a title: $title"
    fi
    start_full_speed_scan "$window"
    read_whole_for "$((RANDOM % 500))" "round $round"
    xdotool key Escape
    wait_for_exit "$pid" 500 || fail "round $round: still running 5 s after Escape"
    [ "$exit_status" -eq 0 ] || fail "round $round: exit status $exit_status"
    check_file_left_whole "round $round"
done
echo "quit while scanning: $rounds rounds, each ended with status 0 and a whole file; $reads reads, all whole"
