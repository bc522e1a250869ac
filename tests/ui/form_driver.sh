# Shared by the black-box scripts: drives the form under X as a user does. Source it.

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits for pid's visible window and prints its id.
wait_for_window() {
    timeout 20 xdotool search --sync --onlyvisible --pid "$1" | head -n 1
}

# Types a scan of 45 0 0 North, 122 0 0 West, 3 by 3 miles, range 1000, no delay, a step
# of 0.1 mile, in tab order from the latitude degrees where the focus starts, then
# presses Enter and waits until the first point is in Vantrell.kml.
start_full_speed_scan() {
    local window=$1
    xdotool windowfocus --sync "$window"
    for step in "type 45" "key Tab" "type 0" "key Tab" "type 0" "key Tab" "type N" "key Tab" \
                "type 122" "key Tab" "type 0" "key Tab" "type 0" "key Tab" "type W" "key Tab" \
                "type 3" "key Tab" "type 3" "key Tab" "type 1000" "key Tab" "type 0" "key Tab" \
                "type 1" "key Return"; do
        xdotool $step
    done
    for _ in $(seq 100); do [ -s Vantrell.kml ] && break; sleep 0.05; done
    [ -s Vantrell.kml ] || fail "Start wrote nothing"
    grep -q '<latitude>45.000000</latitude>\|<latitude>44\.' Vantrell.kml || fail "unexpected point"
}

# Waits up to $2 hundredths of a second for our child $1 to end, and sets exit_status;
# fails when it is still running then.
wait_for_exit() {
    local pid=$1 hundredths=$2
    for _ in $(seq "$hundredths"); do kill -0 "$pid" 2>/dev/null || break; sleep 0.01; done
    kill -0 "$pid" 2>/dev/null && return 1
    exit_status=0
    wait "$pid" || exit_status=$?
}

# The file holds one whole document and no temporary lies beside it.
check_file_left_whole() {
    [ "$(wc -l < Vantrell.kml)" -eq 13 ] && [ "$(tail -n 1 Vantrell.kml)" = "</kml>" ] ||
        fail "$1: Vantrell.kml is not whole"
    local leftovers
    leftovers=$(find . -maxdepth 1 -name '*.tmp')
    [ -z "$leftovers" ] || fail "$1: temporary file left behind: $leftovers"
}
