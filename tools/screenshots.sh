#!/usr/bin/env bash
# Retakes docs/scan-form.png, docs/about-box.png and docs/plan-dialog.png: the real program under Xvfb with a
# window manager (openbox, apt-get install openbox), filled in as a user would.
# usage: tools/screenshots.sh [PROGRAM]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$top/build/default/ui/qt/vantrell}
if [ -z "${VANTRELL_IN_XVFB:-}" ]; then
    VANTRELL_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$program"
fi
work=$(mktemp -d)
trap 'kill ${pid:-0} ${wm:-0} 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work
cd "$work"
openbox & wm=$!
sleep 1
"$program" & pid=$!
window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
xdotool windowmove --sync "$window" 40 40
xdotool windowfocus --sync "$window"
for step in "type 45" "key Tab" "type 30" "key Tab" "type 0" "key Tab" "type N" "key Tab" \
            "type 122" "key Tab" "type 15" "key Tab" "type 0" "key Tab" "type W" "key Tab" \
            "type 5" "key Tab" "type 3" "key Tab" "type 1500" "key Tab" "type 4" "key Tab" "type 2"; do
    xdotool $step
done
sleep 0.5
frame() { xdotool getactivewindow; }
/usr/bin/import -window "$(frame)" -frame "$top/docs/scan-form.png"
xdotool key F1
sleep 1
/usr/bin/import -window "$(frame)" -frame "$top/docs/about-box.png"
xdotool key Escape
sleep 0.5
# The plan of a running scan, its progress included: Enter in a field is Start.
xdotool key Return
sleep 2
xdotool key ctrl+p
sleep 1.5
/usr/bin/import -window "$(frame)" -frame "$top/docs/plan-dialog.png"
xdotool key Escape
echo "wrote docs/scan-form.png, docs/about-box.png and docs/plan-dialog.png"
