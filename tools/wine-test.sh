#!/usr/bin/env bash
# ctest's way into Wine for the Windows test programs: wine PROGRAM [ARG...].
# Now and then Wine ends a program before its main runs: within milliseconds, with a
# failure status and not one byte of output. Such a start is said and made once more.
# A program that ran prints at least GoogleTest's banner, so a real failure, however
# fast, is never run twice.
set -u
log=$(mktemp)
trap 'cat "$log"; rm -f "$log"' EXIT
trap 'exit 143' TERM INT # ctest's timeout: still show what the program printed
for attempt in 1 2; do
    wine "$@" >"$log" 2>&1
    status=$?
    if [ "$status" -eq 0 ] || [ -s "$log" ] || [ "$attempt" -eq 2 ]; then
        exit "$status"
    fi
    echo "wine-test: Wine ended $1 before it printed anything (status $status); starting it once more" >&2
done
