#!/usr/bin/env bash
# One copy per user: a second copy ends at once with status 0 and one line on stderr,
# without touching the display, whatever its environment says; once the first copy is
# killed outright, a new one runs normally. The lock lies in the runner's home from the
# password database, so these runs meet a copy the runner has open (and fail): ctest
# serialises them by a resource lock, and no environment can steer the program elsewhere.
# usage: single_copy.sh PROGRAM
set -euo pipefail
program=$1
source "$(dirname "$0")/harness.sh"
export QT_QPA_PLATFORM=offscreen

"$program" & first=$!
wait_for_lock "$first" || fail "the first copy took no lock"

# Each second copy gets a display that does not exist: were it to open a window, Qt
# would fail loudly. It must end at once, with status 0 and only its line, with the
# runtime folder of its environment missing, elsewhere or the same, or its home elsewhere.
mkdir -m 700 "$work/elsewhere"
for runtime in same unset elsewhere home; do
    start=$(date +%s%N)
    case $runtime in
    same) run env DISPLAY=:4242 QT_QPA_PLATFORM=xcb "$program" ;;
    unset) run env -u XDG_RUNTIME_DIR DISPLAY=:4242 QT_QPA_PLATFORM=xcb "$program" ;;
    elsewhere) run env XDG_RUNTIME_DIR="$work/elsewhere" DISPLAY=:4242 QT_QPA_PLATFORM=xcb "$program" ;;
    home) run env HOME="$work/elsewhere" DISPLAY=:4242 QT_QPA_PLATFORM=xcb "$program" ;;
    esac
    elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
    check_second_copy "$runtime runtime folder"
    [ "$elapsed_ms" -lt 3000 ] || fail "second copy ($runtime runtime folder) took ${elapsed_ms} ms"
done
kill -0 "$first" 2>/dev/null || fail "the first copy did not survive the second"

kill -9 "$first"
wait "$first" 2>/dev/null || true
"$program" & third=$!
wait_for_lock "$third" || fail "a copy after SIGKILL took no lock"
sleep 0.3
kill -0 "$third" 2>/dev/null || fail "a copy after SIGKILL did not keep running"
echo "single copy: second copy ended in ${elapsed_ms} ms; a copy after SIGKILL runs"
