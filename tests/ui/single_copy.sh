#!/usr/bin/env bash
# One copy per user: a second copy ends at once with status 0, without touching the
# display, whatever its environment says; once the first copy is killed outright, a new
# one runs normally. The lock lies in the runner's home from the password database, so
# these runs meet a copy the runner has open (and fail): ctest serialises them by a
# resource lock, and no environment can steer the program elsewhere.
# usage: single_copy.sh PROGRAM
set -euo pipefail
program=$1
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits (up to 10 s) until copy $1 holds its lock. Only looks: trying the lock ourselves
# could make the copy believe another one runs.
wait_for_lock() {
    for _ in $(seq 200); do
        [ -n "$(lslocks --noheadings --pid "$1" 2>/dev/null)" ] && return 0
        kill -0 "$1" 2>/dev/null || fail "the copy ended early"
        sleep 0.05
    done
    fail "no copy took the lock"
}

"$program" & first=$!; pids+=("$first")
wait_for_lock "$first"

# Each second copy gets a display that does not exist: were it to open a window, Qt
# would fail loudly. It must end quietly, at once, with status 0, with the runtime
# folder of its environment missing, elsewhere or the same, or its home elsewhere.
mkdir -m 700 "$work/elsewhere"
for runtime in same unset elsewhere home; do
    start=$(date +%s%N)
    set +e
    case $runtime in
    same) DISPLAY=:4242 QT_QPA_PLATFORM=xcb timeout 10 "$program" >"$work/out" 2>"$work/err" ;;
    unset) env -u XDG_RUNTIME_DIR DISPLAY=:4242 QT_QPA_PLATFORM=xcb timeout 10 "$program" >"$work/out" 2>"$work/err" ;;
    elsewhere) XDG_RUNTIME_DIR=$work/elsewhere DISPLAY=:4242 QT_QPA_PLATFORM=xcb timeout 10 "$program" \
                   >"$work/out" 2>"$work/err" ;;
    home) HOME=$work/elsewhere DISPLAY=:4242 QT_QPA_PLATFORM=xcb timeout 10 "$program" >"$work/out" 2>"$work/err" ;;
    esac
    status=$?
    set -e
    elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
    [ "$status" -eq 0 ] || fail "second copy ($runtime runtime folder) exited with $status: $(cat "$work/err")"
    [ ! -s "$work/out" ] && [ ! -s "$work/err" ] || fail "second copy ($runtime runtime folder) printed something"
    [ "$elapsed_ms" -lt 3000 ] || fail "second copy ($runtime runtime folder) took ${elapsed_ms} ms"
done
kill -0 "$first" 2>/dev/null || fail "the first copy did not survive the second"

kill -9 "$first"
wait "$first" 2>/dev/null || true
"$program" & third=$!; pids+=("$third")
wait_for_lock "$third"
sleep 0.3
kill -0 "$third" 2>/dev/null || fail "a copy after SIGKILL did not keep running"
echo "single copy: second copy ended in ${elapsed_ms} ms; a copy after SIGKILL runs"
