#!/usr/bin/env bash
# Black-box: the program under Xvfb with Qt's accessibility switched on, its tree read
# through AT-SPI on a session bus of the test's own.
# usage: atspi_tree.sh PROGRAM
set -euo pipefail
if [ -z "${VANTRELL_IN_SESSION:-}" ]; then
    VANTRELL_IN_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/harness.sh"
start_xvfb
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
"$program" & pid=$!
status=0
# Debian's own Python, which the AT-SPI bindings are installed for.
/usr/bin/python3 "$here/atspi_tree.py" "$pid" || status=$?
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
exit "$status"
