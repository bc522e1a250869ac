#!/usr/bin/env bash
# `vantrell --plan`: prints the plan and ends, without a display, while another copy holds
# the single-copy lock, writing no file; bad usage ends with 2 and one line on stderr.
# usage: plan.sh PROGRAM
set -euo pipefail
program=$1
source "$(dirname "$0")/harness.sh"
mkdir "$work/scan" "$work/plan" "$work/preview"
cd "$work/plan"

# Runs the plan with no desktop at all and a comma-decimal locale, in folder $in (the plan
# folder by default); sets status, out, err.
plan() {
    cd "${in:-$work/plan}"
    run env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 \
        "$program" --plan "$@"
    cd "$work/plan"
}

ten_by_ten=(45 0 0 North 122 0 0 West 10 10 4 1000 0)
expected="1,640 points per pass; at 1.00 s per point one pass takes 27 min 20 s.
40 rows of 40 points, each followed by one point a step south; a step is 0.25 miles.
The time counts the pauses between points only, not the time the file writes take.
One pass loads about 443 MB of imagery (30,216 tiles; the finest, level 18, are 108 m wide in a 1,920-pixel window, at about 15 KB a tile).
The viewer re-reads the file every 4 s but each point lasts 1 s: it will skip about 75 % of the points, flying to about 1 in 4. A Speed Factor of at least 20 shows it every point.
At a range of 1,000 m each view shows about 0.72 × 0.40 miles (60° wide, in a 16:9 window), but the points are 0.25 miles apart: about 1 % of the area is never in view, and its finest imagery is never loaded. A Range of at least 1,005 m, a Resolution of at most 2, or 1 mile more south, leaves no gap."

plan "${ten_by_ten[@]}"
[ "$status" -eq 0 ] || fail "status $status without a desktop: $err"
[ "$out" = "$expected" ] || fail "unexpected plan: $out"
[ -z "$err" ] || fail "printed to stderr: $err"

# A copy that scans holds the lock; the plan must neither stop at it nor disturb it. Tests
# elsewhere on this machine may run a copy already: then ours ends at once, and theirs is it.
(cd "$work/scan" && QT_QPA_PLATFORM=offscreen exec "$program") & first=$!
holder=
for _ in $(seq 200); do
    if holds_lock "$first"; then
        holder=$first
    elif ! kill -0 "$first" 2>/dev/null; then
        wait "$first" || fail "the scanning copy failed"
        holder=$(lslocks --noheadings --output PID,PATH | awk '$2 ~ /vantrell/ { print $1; exit }')
        [ -n "$holder" ] || fail "the scanning copy ended early"
    fi
    [ -n "$holder" ] && break
    sleep 0.05
done
[ -n "$holder" ] || fail "the scanning copy took no lock"
plan "${ten_by_ten[@]}"
[ "$status" -eq 0 ] && [ "$out" = "$expected" ] || fail "beside a running copy: status $status: $out $err"
kill -0 "$holder" 2>/dev/null || fail "the running copy did not survive the plan"

# A request with nothing to walk is a plan too: it names the limit.
plan 45 60 0 North 122 0 0 West 10 10 4 1000 0
[ "$status" -eq 0 ] || fail "status $status for a request with no points"
grep -q '^No points' "$work/out" && grep -q 'latitude minutes 60 are out of range (0 to 59)' "$work/out" ||
    fail "broken limit not named: $out"

# Another refresh; a bad one is bad usage.
plan --refresh 2 "${ten_by_ten[@]}"
[ "$status" -eq 0 ] && grep -q 'every 2 s but each point lasts 1 s' "$work/out" || fail "--refresh 2: $out $err"
plan --refresh 0 "${ten_by_ten[@]}"
[ "$status" -eq 2 ] && [ -z "$out" ] || fail "--refresh 0: status $status"

# Another window: coarser tiles for its wider pixels; a window of no pixels is bad usage.
plan --window 1280 "${ten_by_ten[@]}"
[ "$status" -eq 0 ] && grep -q '^One pass loads about 111 MB of imagery (7,555 tiles; the finest, level 17, are 216 m wide in a 1,280-pixel window' "$work/out" ||
    fail "--window 1280: $out $err"
plan --window 0 "${ten_by_ten[@]}"
[ "$status" -eq 2 ] && [ -z "$out" ] && grep -q '^vantrell: --window takes whole pixels from 1 to 32,768, not "0"$' "$work/err" ||
    fail "--window 0: status $status: $err"

# A preview is written whole where asked, and never over the scan's file, by any name.
in=$work/preview plan --preview area.kml "${ten_by_ten[@]}"
[ "$status" -eq 0 ] && grep -q 'xmlns="http://www.opengis.net/kml/2.2"' "$work/preview/area.kml" ||
    fail "no preview: status $status: $err"
echo scanning >"$work/preview/Vantrell.kml"
ln -s Vantrell.kml "$work/preview/link.kml"
ln "$work/preview/Vantrell.kml" "$work/preview/hard.kml"
for target in Vantrell.kml link.kml hard.kml; do
    in=$work/preview plan --preview "$target" "${ten_by_ten[@]}"
    [ "$status" -eq 1 ] && grep -q '^The preview may not be written to' "$work/err" ||
        fail "--preview $target: status $status: $err"
done
[ "$(cat "$work/preview/Vantrell.kml")" = scanning ] || fail "a preview replaced Vantrell.kml"

# Where Vantrell.kml holds a point of the pass, the plan says which; a FIFO by that name
# neither holds it up nor gets a word.
mkdir -p "$work/resume"
printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' '<kml xmlns="http://earth.google.com/kml/2.0">' \
    '<Placemark>' '<name>Vantrell Spot</name>' '<LookAt>' '<longitude>-121.984665</longitude>' \
    '<latitude>45.000000</latitude>' '<range>1000</range>' '<tilt>0.0</tilt>' '<heading>0.0</heading>' \
    '</LookAt>' '</Placemark>' '</kml>' >"$work/resume/Vantrell.kml"
in=$work/resume plan "${ten_by_ten[@]}"
[ "$status" -eq 0 ] && [ "$out" = "$expected
Vantrell.kml holds point 3 of this pass." ] || fail "the point Vantrell.kml holds: $out"
rm "$work/resume/Vantrell.kml" && mkfifo "$work/resume/Vantrell.kml"
in=$work/resume plan "${ten_by_ten[@]}"
[ "$status" -eq 0 ] && [ "$out" = "$expected" ] || fail "beside a FIFO named Vantrell.kml: status $status: $out"

# An area file gives the corner and the miles, the path's corridor included: said first, and nothing written.
printf '%s\n' '<gpx><trk><trkseg><trkpt lat="40" lon="-100"/><trkpt lat="39.99" lon="-99.99"/></trkseg></trk></gpx>' \
    >"$work/road.gpx"
plan --area "$work/road.gpx" 20 620 0
[ "$status" -eq 0 ] && [ "$(head -n 1 "$work/out")" = "Area: road.gpx: 1 shape; corner 40 0 27 North 100 0 34 West, 2 miles east, 2 miles south." ] ||
    fail "--area: status $status: $out $err"

for count in 0 12 14; do
    set -- "${ten_by_ten[@]}" 1
    plan "${@:1:$count}"
    [ "$status" -eq 2 ] || fail "$count values: status $status, not 2"
    [ -z "$out" ] || fail "$count values: printed to stdout"
    [ "$(wc -l < "$work/err")" -eq 1 ] && grep -q '^usage: vantrell --plan \[--refresh SECONDS\] \[--window PIXELS\] \[--preview FILE\] \[--area FILE \[--corridor TENTHS\]\] \[LATDEG' "$work/err" ||
        fail "$count values: not a one-line usage: $err"
done

[ -z "$(ls -A "$work/plan")" ] || fail "the plan left files: $(ls -A "$work/plan")"
[ -z "$(ls -A "$work/scan")" ] || fail "the plan wrote into the scanning copy's folder"
echo "plan: no desktop, beside a running copy, no file written, usage status 2, --refresh, --window, --preview, resume, --area"
