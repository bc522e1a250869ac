#!/usr/bin/env bash
# walkdump.exe under Wine prints every request's walk byte for byte as the Linux walkdump
# does: the float32 arithmetic and the number formats are the same on both platforms.
# usage: walkdump_compare.sh WALKDUMP_EXE LINUX_WALKDUMP   (inside tools/wine-session.sh)
set -euo pipefail
windows=$1
linux=${2:-}
if [ -z "$linux" ] || [ ! -x "$linux" ]; then
    echo "no Linux walkdump at '$linux': build the default preset first (make build)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# COUNT LATDEG LATMIN LATSEC LATWORD LONDEG LONMIN LONSEC LONWORD EAST SOUTH SPEED RANGE RESOLUTION
requests=(
    "21 45 0 0 North 122 0 0 West 1 1 4 1000 0"            # the first worked example and the next pass
    "10 33 51 0 South 151 12 0 East 1 1 1 1500 3"          # the second worked example
    "400 70 30 15 North 20 0 0 East 5 5 0 500 1"           # high latitude, step 0.1
    "300 89 59 59 North 0 0 0 West 3 2 0 100 2"            # a breath from the pole
    "50 90 0 0 North 10 0 0 East 1 1 0 1000 0"             # on the pole: huge longitudes
    "80 89 0 0 South 179 59 59 West 2 2 0 1000 7"          # south polar, odd step
    "60 0 0 1 North 179 59 59 East 3 1 0 1000 0"           # across the antimeridian eastward
    "60 10 0 0 South 180 0 0 West 2 1 0 1000 3"            # starting on the antimeridian
    "200 12 34 56 North 65 43 21 East 7 3 0 1000 1"        # small step, odd place
    "120 45 0 0 North 122 0 0 West 0 3 0 1000 0"           # no miles east: a line due south
    "60 45 0 0 North 122 0 0 West 1 1 0 2147483647 13"     # odd step, widest range
    "40 45 0 0 North 122 0 0 West 1 1 0 -5 9"              # negative range, as typed
    "40 45 30 0 '' 122 15 0 '' 1 1 0 1000 0"               # empty words: the corner at 0, 0
    "40 45 0 0 North 122 0 0 '' 1 1 0 1000 0"              # one empty word
    "20 45 0 0 north 122 0 0 West 1 1 0 1000 0"            # a word the walk refuses: no points
    "20 91 0 0 North 122 0 0 West 1 1 0 1000 0"            # past the pole: no points
    "20 45 0 0 North 122 0 0 West 1 0 0 1000 0"            # no miles south: no points
)
failed=0
for request in "${requests[@]}"; do
    eval "set -- $request"
    "$linux" "$@" >"$work/linux"
    wine "$windows" "$@" >"$work/windows"
    if ! cmp -s "$work/linux" "$work/windows"; then
        echo "differs: walkdump $request" >&2
        diff "$work/linux" "$work/windows" | head -5 >&2 || true
        failed=$((failed + 1))
    fi
done
if [ "$failed" -ne 0 ]; then
    echo "$failed of ${#requests[@]} requests differ" >&2
    exit 1
fi
echo "${#requests[@]} requests print the same bytes on Windows and Linux"
