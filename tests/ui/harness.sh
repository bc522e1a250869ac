# Shared by the black-box scripts: source it after `set -euo pipefail`. It makes a
# temporary folder $work and moves there, ends what the script left running when it
# exits, starts private X servers, and drives the form under X as a user does.
# A script may define on_exit, run after its processes end and before $work goes;
# VANTRELL_UI_KEEP=1 keeps $work and its logs.

fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
xserver=""
harness_cleanup() {
    # Our own running children by number: never "kill 0", which would end this script's
    # own process group. Disowned first, so that bash does not report each one killed.
    local p
    for p in $(jobs -rp); do
        [ "$p" = "$xserver" ] || { disown "$p" && kill -9 "$p"; } 2>/dev/null || true
    done
    stop_xvfb
    ! declare -F on_exit >/dev/null || on_exit || true
    cd /
    [ -n "${VANTRELL_UI_KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap harness_cleanup EXIT
cd "$work"

# Starts an X server of the script's own and points DISPLAY at it. The number is held by
# the server's lock file, which other runs honour; -displayfd takes none, and runs from
# other network namespaces share /tmp.
start_xvfb() {
    local first=$((200 + RANDOM % 500))
    for xnumber in $(seq "$first" "$((first + 50))"); do
        [ -e "/tmp/.X$xnumber-lock" ] || [ -e "/tmp/.X11-unix/X$xnumber" ] && continue
        Xvfb ":$xnumber" -screen 0 "${1:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 & xserver=$!
        # Ours once its lock names it and it listens; another run may have taken the number.
        for _ in $(seq 200); do
            if x_lock_is_ours && [ -S "/tmp/.X11-unix/X$xnumber" ]; then
                export DISPLAY=:$xnumber
                return 0
            fi
            kill -0 "$xserver" 2>/dev/null || break
            sleep 0.05
        done
        stop_xvfb
    done
    fail "Xvfb did not start"
}

x_lock_is_ours() { [ "$(tr -d ' ' 2>/dev/null < "/tmp/.X$xnumber-lock")" = "$xserver" ]; }

stop_xvfb() {
    [ -n "$xserver" ] || return 0
    kill "$xserver" 2>/dev/null || true
    wait "$xserver" 2>/dev/null || true
    # A server killed outright leaves its lock and socket behind.
    ! x_lock_is_ours || rm -f "/tmp/.X$xnumber-lock" "/tmp/.X11-unix/X$xnumber"
    xserver=""
}

# Runs a command for at most 10 s; sets status, out and err ($work/out, $work/err).
run() {
    set +e
    timeout 10 "$@" >"$work/out" 2>"$work/err"
    status=$?
    set -e
    out=$(<"$work/out") err=$(<"$work/err")
}

# After `run` of a second copy: status 0, nothing on stdout, and on stderr exactly the one
# line that says why it ended. $1 names the case in the failure.
check_second_copy() {
    local line="vantrell: another copy is already running for this user; it keeps the scan."
    [ "$status" -eq 0 ] || fail "$1: a second copy exited with $status: $err"
    [ ! -s "$work/out" ] && [ "$err" = "$line" ] && [ "$(wc -l < "$work/err")" -eq 1 ] ||
        fail "$1: a second copy printed \"$out\" and \"$err\", not one line on stderr"
}

holds_lock() { [ -n "$(lslocks --noheadings --pid "$1" 2>/dev/null)" ]; }

# Waits up to 10 s until copy $1 holds its lock; false when it ends first. Only looks:
# trying the lock ourselves could make the copy believe another one runs.
wait_for_lock() {
    for _ in $(seq 200); do
        holds_lock "$1" && return 0
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# Waits up to 20 s for pid's visible window and prints its id.
wait_for_window() {
    timeout 20 xdotool search --sync --onlyvisible --pid "$1" | head -n 1
}

# Starts $program in the background and waits for its window; sets pid and window. $1
# names the case in the failure.
start_form() {
    "$program" & pid=$!
    window=$(wait_for_window "$pid") || fail "$1: no window appeared"
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

check_whole_document() {
    [ "$(wc -l < Vantrell.kml)" -eq 13 ] && [ "$(tail -n 1 Vantrell.kml)" = "</kml>" ] ||
        fail "$1: Vantrell.kml is not whole"
}

# The file holds one whole document and no temporary lies beside it.
check_file_left_whole() {
    check_whole_document "$1"
    local leftovers
    leftovers=$(find . -maxdepth 1 -name '*.tmp')
    [ -z "$leftovers" ] || fail "$1: temporary file left behind: $leftovers"
}
