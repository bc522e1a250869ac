#!/usr/bin/env bash
# Black-box: a real window under Xvfb, driven through the keyboard as a user drives it.
# The form is filled in tab order, Start runs a walk at full speed, Escape quits. The
# program must end promptly with status 0, leaving a whole Vantrell.kml and no
# temporary file. Run it inside xvfb-run.
# usage: quit_while_scanning.sh PROGRAM [ROUNDS]
set -euo pipefail
program=$1
rounds=${2:-5}
work=$(mktemp -d)
trap 'kill -9 ${pid:-0} 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

for round in $(seq "$rounds"); do
    rm -f Vantrell.kml
    "$program" & pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1) ||
        fail "no window appeared"
    if [ "$round" -eq 1 ]; then
        # The form has no caption: the title bar and the taskbar show no text.
        for _ in $(seq 40); do
            title=$(xprop -id "$window" _NET_WM_NAME WM_NAME)
            echo "$title" | grep -q '= "' || break
            sleep 0.05
        done
        echo "$title" | grep -q '= "' && fail "the form has a title: $title"
    fi
    xdotool windowfocus --sync "$window"
    # North-west corner 45 0 0 North, 122 0 0 West; 3 by 3 miles; range 1000; speed 0;
    # resolution 1. Focus starts in the latitude degrees.
    for step in "type 45" "key Tab" "type 0" "key Tab" "type 0" "key Tab" "type N" "key Tab" \
                "type 122" "key Tab" "type 0" "key Tab" "type 0" "key Tab" "type W" "key Tab" \
                "type 3" "key Tab" "type 3" "key Tab" "type 1000" "key Tab" "type 0" "key Tab" \
                "type 1" "key Return"; do
        xdotool $step
    done
    for _ in $(seq 100); do [ -s Vantrell.kml ] && break; sleep 0.05; done
    [ -s Vantrell.kml ] || fail "round $round: Start wrote nothing"
    grep -q '<latitude>45.000000</latitude>\|<latitude>44\.' Vantrell.kml || fail "round $round: unexpected point"
    sleep "0.$((RANDOM % 5))"
    xdotool key Escape
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$pid" 2>/dev/null && fail "round $round: still running 5 s after Escape"
    set +e; wait "$pid"; status=$?; set -e
    [ "$status" -eq 0 ] || fail "round $round: exit status $status"
    [ "$(wc -l < Vantrell.kml)" -eq 13 ] && [ "$(tail -n 1 Vantrell.kml)" = "</kml>" ] ||
        fail "round $round: Vantrell.kml is not whole"
    leftovers=$(find . -maxdepth 1 -name '*.tmp')
    [ -z "$leftovers" ] || fail "round $round: temporary file left behind: $leftovers"
done
echo "quit while scanning: $rounds rounds, each ended with status 0 and a whole file"
