#!/usr/bin/env bash
# Retakes docs/scan-form-windows.png, docs/about-box-windows.png and
# docs/plan-dialog-windows.png: Vantrell.exe under Wine on a virtual display, filled in as
# a user would, the About box and the plan opened from the system menu. Wine draws the
# frames itself (no window manager), as Windows would.
# usage: tools/screenshots-windows.sh [VANTRELL.EXE]   (after make windows)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$top/build/windows/ui/win32/Vantrell.exe}
if [ -z "${WINEPREFIX:-}" ]; then
    exec "$top/tools/wine-session.sh" "$0" "$program"
fi
work=$(mktemp -d)
# Never kill 0, the script's own process group, when the program did not start.
trap '[ -z "${pid:-}" ] || kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
wine "$program" & pid=$!
window=
for _ in $(seq 200); do
    window=$(xdotool search --onlyvisible --classname vantrell.exe 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
sleep 1 # the first field takes the focus once the form is up
for step in "type 45" "key Tab" "type 30" "key Tab" "type 0" "key Tab" "type N" "key Tab" \
            "type 122" "key Tab" "type 15" "key Tab" "type 0" "key Tab" "type W" "key Tab" \
            "type 5" "key Tab" "type 3" "key Tab" "type 1500" "key Tab" "type 4" "key Tab" "type 2"; do
    xdotool $step
    sleep 0.05
done
sleep 0.5
/usr/bin/import -window "$window" "$top/docs/scan-form-windows.png"
# The id of the visible window with exactly this title, within 10 s; else a failure.
visible_window() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
    echo "no window \"$1\"" >&2
    exit 1
}
# The system menu opens on its first entry; ours are the last two, About then the plan
# (Wine adds "About Wine" too).
xdotool key alt+space
sleep 0.5
xdotool key Up Up Return
about=$(visible_window "About Vantrell") || exit 1
sleep 0.5
/usr/bin/import -window "$about" "$top/docs/about-box-windows.png"
xdotool key Escape
# The plan of a running scan, its progress included: Enter in a field is Start.
sleep 2.5 # Wine takes about 2 s to close a captioned window without a window manager
xdotool key Return
sleep 2
xdotool key alt+space
sleep 0.5
xdotool key Up Return
plan=$(visible_window "Vantrell Plan") || exit 1
sleep 1.5
/usr/bin/import -window "$plan" "$top/docs/plan-dialog-windows.png"
xdotool key Escape
echo "wrote docs/scan-form-windows.png, docs/about-box-windows.png and docs/plan-dialog-windows.png"
