#!/usr/bin/env bash
# Ten copies released at the same moment, three rounds: each round exactly one keeps
# running and holds the lock, and the other nine end with status 0. Between rounds the
# survivor is killed outright, so the next ten race for a lock left by a dead copy.
# usage: single_copy_stress.sh PROGRAM
set -euo pipefail
program=$(readlink -f "$1")
copies=10
rounds=3
source "$(dirname "$0")/harness.sh"
export QT_QPA_PLATFORM=offscreen

# Running and not yet a zombie.
alive() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != Z ]
}

# Blocked waiters on the gate file, as /proc/locks lists them.
waiting_at_gate() {
    local inode
    inode=$(stat -c %i "$work/gate")
    grep -c -- "-> FLOCK .*:$inode " /proc/locks || true
}

for round in $(seq "$rounds"); do
    # The copies wait on a shared lock of the gate while we hold it exclusively; letting
    # go releases all of them at once.
    exec 9>"$work/gate"
    flock 9
    round_pids=()
    for _ in $(seq "$copies"); do
        (exec 9>&-; flock -s "$work/gate" true; exec "$program") &
        round_pids+=($!)
    done
    for _ in $(seq 200); do
        [ "$(waiting_at_gate)" -ge "$copies" ] && break
        sleep 0.05
    done
    [ "$(waiting_at_gate)" -ge "$copies" ] || fail "round $round: the copies never all reached the gate"
    start=$(date +%s%N)
    exec 9>&-

    survivor=
    for _ in $(seq 400); do
        running=()
        for p in "${round_pids[@]}"; do alive "$p" && running+=("$p"); done
        if [ ${#running[@]} -le 1 ]; then
            survivor=${running[0]:-}
            break
        fi
        sleep 0.05
    done
    elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
    [ ${#running[@]} -le 1 ] || fail "round $round: ${#running[@]} copies still run after 20 s"
    [ -n "$survivor" ] || fail "round $round: no copy kept running (does another copy of this user run?)"
    for p in "${round_pids[@]}"; do
        [ "$p" = "$survivor" ] && continue
        status=0
        wait "$p" || status=$?
        [ "$status" -eq 0 ] || fail "round $round: a second copy exited with $status"
    done
    wait_for_lock "$survivor" || fail "round $round: the survivor holds no lock"
    alive "$survivor" || fail "round $round: the survivor ended"
    echo "round $round: one of $copies copies runs; the other $((copies - 1)) ended with status 0 within ${elapsed_ms} ms"
    kill -9 "$survivor"
    wait "$survivor" 2>/dev/null || true
done
