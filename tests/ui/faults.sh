#!/usr/bin/env bash
# Black-box: the real program under faults of the folder and the file it writes. Each
# case starts a walk at one point every 250 ms (speed factor 1), puts the obstacle in
# its way, takes it away again and quits. A watcher reads Vantrell.kml all the while and
# maps each document to its place in the walk, so that the case can check that:
#   - every document read is whole and a point of the walk, never empty or cut short;
#   - the walk keeps its pace through the fault: the place reached matches the time gone;
#   - once the way is clear a new point is written;
#   - the program still answers: Escape ends it with status 0, and no temporary is left.
# Cases: a read-only folder, a folder named Vantrell.kml, Vantrell.kml as a link, a
# reader holding the file, a full disk, a folder whose rename will not replace a file
# (FUSE), the working folder removed, Quit while the kernel holds a write (a frozen
# filesystem), and the program killed outright at random moments (the next start clears
# what it left).
# As root the script runs in a mount namespace of its own, where a small tmpfs gives a
# full disk, a read-only remount a read-only folder and a loop-mounted image a frozen one;
# without root those two are skipped and chmod makes the folder read-only. The FUSE case
# needs NO_REPLACE_FS (tests/ui/no_replace_fs.cpp).
# usage: faults.sh PROGRAM WALKDUMP [KILL_ROUNDS [NO_REPLACE_FS]]   (VANTRELL_UI_KEEP=1 keeps the logs)
set -euo pipefail
if [ "$(id -u)" -eq 0 ] && [ -z "${VANTRELL_FAULTS_NAMESPACE:-}" ] && unshare -m true 2>/dev/null; then
    VANTRELL_FAULTS_NAMESPACE=1 exec unshare -m --propagation private "$0" "$@"
fi
program=$(realpath "$1")
walkdump=$(realpath "$2")
kill_rounds=${3:-4}
no_replace_fs=${4:+$(realpath "$4")}
hold=1.5 # seconds each obstacle stays
frozen=""
source "$(dirname "$0")/harness.sh"
on_exit() {
    # A frozen folder holds its writers until thawed, however they are killed.
    [ -z "$frozen" ] || fsfreeze -u "$frozen" 2>/dev/null || true
    cd /
    for mounted in "$work"/*; do mountpoint -q "$mounted" 2>/dev/null && umount -l "$mounted"; done
}
start_xvfb
export QT_QPA_PLATFORM=xcb
namespace=${VANTRELL_FAULTS_NAMESPACE:-}

# The paced walk: 45 0 0 North, 122 0 0 West, 10 by 10 miles, range 1000, speed factor
# 1, a step of 0.1 mile. Its first pass has thousands of points, all different.
# In the form's tab order: ... east, south, range, speed factor, resolution.
request=(45 0 0 North 122 0 0 West 10 10 1000 1 1)
declare -A place
i=0
while read -r latitude longitude _; do
    i=$((i + 1))
    place["$latitude $longitude"]=$i
done < <("$walkdump" 5000 "${request[@]:0:10}" 1 1000 1)
[ "$i" -eq 5000 ] || fail "walkdump gave $i points"

now_us() { local t=$EPOCHREALTIME; echo $((10#${t/./})); }

# Reads $1 every 5 ms and logs "MICROSECONDS PLACE" to $2 whenever the document changes;
# "BAD ..." for a read that is not a whole document of the walk. Once it has seen a
# document, counts the reads and those that found no file, into $2.reads when ended.
watch_file() {
    local file=$1 log=$2 text last="" latitude longitude tick reads=0 missing=0
    exec {tick}<> <(:)
    trap 'echo "$reads $missing" > "$log.reads"; exit 0' TERM
    while :; do
        [ -z "$last" ] || reads=$((reads + 1))
        [ -z "$last" ] || [ -e "$file" ] || missing=$((missing + 1))
        # Fails only when the file cannot be opened; an empty file reads as "". A folder
        # in the file's place is no document to read.
        text=""
        if [ ! -d "$file" ] && { IFS= read -r -d '' text || true; } 2>/dev/null < "$file"; then
            if [ "$text" != "$last" ]; then
                last=$text
                if [[ $text == '<?xml version="1.0" encoding="UTF-8"?>'$'\n'*$'\n</kml>\n' &&
                      $text =~ \<longitude\>([-0-9.]+)\</longitude\>.*\<latitude\>([-0-9.]+)\</latitude\> ]]; then
                    longitude=${BASH_REMATCH[1]} latitude=${BASH_REMATCH[2]}
                    local lines=${text//[^$'\n']/}
                    if [ ${#lines} -eq 13 ] && [ -n "${place["$latitude $longitude"]:-}" ]; then
                        echo "$(now_us) ${place["$latitude $longitude"]}" >> "$log"
                    else
                        echo "BAD not a point of the walk: ${text//$'\n'/|}" >> "$log"
                    fi
                else
                    echo "BAD torn or empty: ${text//$'\n'/|}" >> "$log"
                fi
            fi
        fi
        read -r -t 0.005 -u "$tick" || true
    done
}

# Types the paced request in tab order and presses Enter; sets started_us.
start_paced_scan() {
    xdotool windowfocus --sync "$window"
    local value first=1
    for value in "${request[@]}"; do
        [ -n "$first" ] || xdotool key Tab
        first=""
        case $value in
        North | West) xdotool type "${value:0:1}" ;;
        *) xdotool type "$value" ;;
        esac
    done
    xdotool key Return
    started_us=$(now_us)
}

# Starts the program in $1 and the watcher on $2 (relative to $1).
begin_case() {
    what=$1
    cd "$2"
    log=$work/$what.log
    : > "$log"
    start_form "$what"
    watch_file "$3" "$log" & watcher=$!
    start_paced_scan
}

last_entry() { grep -v '^BAD' "$log" | tail -n 1; }

# Waits up to $1 microseconds for a point later than place $2; prints "MICROSECONDS PLACE".
wait_for_point_after() {
    local deadline=$(($(now_us) + $1)) entry
    while [ "$(now_us)" -lt "$deadline" ]; do
        entry=$(last_entry)
        if [ -n "$entry" ] && [ "${entry#* }" -gt "$2" ]; then
            echo "$entry"
            return 0
        fi
        sleep 0.02
    done
    return 1
}

# The place reached at a time matches a walk of one point every 250 ms from the start:
# never ahead of it, and no more than a third behind.
check_pace() {
    local entry=$1 at=${1%% *} reached=${1#* }
    local due=$(((at - started_us) / 250000))
    [ "$reached" -le $((due + 2)) ] || fail "$what: point $reached reached after $(((at - started_us) / 1000)) ms: too fast"
    [ "$reached" -ge $((due * 2 / 3 - 1)) ] ||
        fail "$what: point $reached reached after $(((at - started_us) / 1000)) ms: the walk fell behind"
}

# No new document for the obstacle's time; prints the place it stayed at.
check_still() {
    local before after
    before=$(last_entry)
    sleep "$hold"
    after=$(last_entry)
    [ "$before" = "$after" ] || fail "$what: the file changed while it could not be written ($before, then $after)"
}

temporaries_in() { find "$1" -maxdepth 1 -name '*.tmp' 2>/dev/null; }

# The way is clear again at once: a new point comes within 2 s, at the walk's pace, and
# a second one after it.
check_writes_again() {
    local first second
    first=$(wait_for_point_after 2000000 "${1:-0}") || fail "$what: nothing written once the way was clear"
    check_pace "$first"
    second=$(wait_for_point_after 2000000 "${first#* }") || fail "$what: the walk stopped after one point"
    check_pace "$second"
}

# Escape (unless already pressed: window "") ends the program with status 0; the
# watcher saw only whole documents.
end_case() {
    [ -z "$window" ] || xdotool windowfocus --sync "$window" key Escape
    wait_for_exit "$pid" 500 || fail "$what: still running 5 s after Escape"
    [ "$exit_status" -eq 0 ] || fail "$what: exit status $exit_status"
    kill "$watcher" 2>/dev/null || true
    wait "$watcher" 2>/dev/null || true
    pid="" watcher=""
    ! grep -m 3 '^BAD' "$log" || fail "$what: the watcher read a document that was not whole"
    local leftovers
    leftovers=$(temporaries_in "$1")
    [ -z "$leftovers" ] || fail "$what: temporary left behind: $leftovers"
    cd "$work"
    local first last reads
    first=$(grep -v '^BAD' "$log" | head -n 1) last=$(last_entry)
    reads=$(cat "$log.reads" 2>/dev/null || echo "? 0")
    echo "$what: $(grep -vc '^BAD' "$log") documents seen, all whole; points ${first#* } to ${last#* }" \
         "by $(((${last%% *} - started_us) / 1000)) ms after Start; ${reads#* } of ${reads% *} reads found no file"
}

# Makes folder $1 read-only ($2 = ro) or writable again (rw). A remount waits for the
# writer to have no file open, so it is retried for a moment.
set_read_only() {
    if [ -n "$namespace" ]; then
        for _ in $(seq 200); do mount -o "remount,$2" "$1" 2>/dev/null && return 0; sleep 0.005; done
        fail "could not remount $1 $2"
    else
        chmod "$([ "$2" = ro ] && echo 555 || echo 755)" "$1"
    fi
}

small_folder() {
    mkdir "$work/$1"
    [ -z "$namespace" ] || mount -t tmpfs -o "size=${2:-1m},mode=755" tmpfs "$work/$1"
}

case_read_only_folder() {
    if [ -z "$namespace" ] && [ "$(id -u)" -eq 0 ]; then
        echo "read-only folder: skipped, root writes anyway and no mount namespace is allowed"
        return
    fi
    small_folder readonly
    begin_case "read-only folder" "$work/readonly" Vantrell.kml
    local entry
    entry=$(wait_for_point_after 3000000 0) || fail "$what: no first point"
    set_read_only "$work/readonly" ro
    check_still
    [ -z "$(temporaries_in .)" ] || fail "$what: a temporary appeared in the read-only folder"
    set_read_only "$work/readonly" rw
    check_writes_again "${entry#* }"
    end_case .
}

case_folder_named_like_the_file() {
    mkdir -p "$work/folder/Vantrell.kml"
    begin_case "folder named Vantrell.kml" "$work/folder" Vantrell.kml
    sleep "$hold"
    [ -d Vantrell.kml ] && [ -z "$(temporaries_in .)" ] || fail "$what: the folder was touched or a temporary stayed"
    rmdir Vantrell.kml || fail "$what: something was written into the folder"
    check_writes_again 0
    end_case .
}

case_link() {
    mkdir -p "$work/link" "$work/elsewhere"
    ln -s ../elsewhere/target.kml "$work/link/Vantrell.kml" # dangling until the first point
    begin_case "Vantrell.kml a link" "$work/link" Vantrell.kml
    check_writes_again 0
    sleep 1
    [ -L Vantrell.kml ] || fail "$what: the link was replaced"
    [ -f ../elsewhere/target.kml ] && [ ! -L ../elsewhere/target.kml ] || fail "$what: the target is not a file"
    end_case ../elsewhere
    [ -z "$(temporaries_in "$work/link")" ] || fail "$what: temporary left beside the link"
}

case_reader_holds_the_file() {
    mkdir "$work/reader"
    begin_case "reader holding the file" "$work/reader" Vantrell.kml
    local entry held text
    entry=$(wait_for_point_after 3000000 0) || fail "$what: no first point"
    exec {held}< Vantrell.kml
    check_writes_again "${entry#* }"
    sleep 1
    IFS= read -r -d '' text <&"$held" || true
    exec {held}<&-
    [ "$(printf '%s' "$text" | wc -l)" -eq 13 ] && [[ $text == *'</kml>'$'\n' ]] ||
        fail "$what: the held file is no longer whole: $text"
    end_case .
}

case_full_disk() {
    if [ -z "$namespace" ]; then
        echo "full disk: skipped, a small tmpfs needs root and a mount namespace"
        return
    fi
    small_folder full 64k
    begin_case "full disk" "$work/full" Vantrell.kml
    local entry
    entry=$(wait_for_point_after 3000000 0) || fail "$what: no first point"
    dd if=/dev/zero of=filler bs=4k 2>/dev/null || true
    check_still
    [ -z "$(temporaries_in .)" ] || fail "$what: a temporary stayed on the full disk"
    rm filler
    check_writes_again "${entry#* }"
    end_case .
}

# Where rename will not replace a file (some network and FAT folders), every point still
# comes: the old file steps aside first, so a reader may find none, never part of one.
case_no_replace() {
    mkdir "$work/backing" "$work/no-replace"
    [ -z "$no_replace_fs" ] || [ ! -c /dev/fuse ] || { "$no_replace_fs" "$work/backing" "$work/no-replace" & }
    for _ in $(seq 100); do mountpoint -q "$work/no-replace" && break; sleep 0.05; done
    mountpoint -q "$work/no-replace" || { echo "rename that will not replace: skipped, no FUSE"; return; }
    begin_case "rename that will not replace" "$work/no-replace" Vantrell.kml
    check_writes_again 0
    end_case .
    umount "$work/no-replace"
}

# Quit while the kernel holds a write (a frozen folder): the window goes, and the lock
# with it, so a new copy starts at once; the old one ends once the write returns.
case_frozen() {
    mkdir "$work/frozen" "$work/after-frozen"
    if [ -z "$namespace" ] || ! { truncate -s 8M "$work/frozen.img" && mkfs.ext4 -q "$work/frozen.img" &&
                                   mount -o loop "$work/frozen.img" "$work/frozen"; } 2>/dev/null; then
        echo "frozen folder: skipped, a loop mount needs root and a mount namespace"
        return
    fi
    begin_case "frozen folder" "$work/frozen" Vantrell.kml
    wait_for_point_after 3000000 0 > /dev/null || fail "$what: no first point"
    fsfreeze -f "$work/frozen"
    frozen=$work/frozen
    sleep 0.5 # the next write is held
    xdotool windowfocus --sync "$window" key Escape
    window=""
    cd "$work/after-frozen"
    local next
    "$program" & next=$!
    window=$(wait_for_window "$next") || fail "$what: no new copy could start while the old one waits"
    xdotool windowfocus --sync "$window" key Escape
    wait_for_exit "$next" 500 || fail "$what: the new copy did not quit"
    kill -0 "$pid" || fail "$what: the copy ended while its write was held"
    fsfreeze -u "$work/frozen"
    frozen="" window=""
    cd "$work/frozen"
    end_case .
    umount "$work/frozen"
}

# A removed folder takes no new names, so nothing can be written again; the walk goes
# on trying at its pace (seen through strace when present) and Quit still works.
case_folder_removed() {
    mkdir "$work/removed"
    begin_case "working folder removed" "$work/removed" Vantrell.kml
    wait_for_point_after 3000000 0 > /dev/null || fail "$what: no first point"
    rm -rf "$work/removed"
    if command -v strace > /dev/null; then
        local tries
        timeout -s INT 1.5 strace -f -qq -e trace=openat -e status=failed -o "$work/strace.log" -p "$pid" || true
        tries=$(grep -c 'Vantrell\.kml\..*\.tmp.*ENOENT' "$work/strace.log" || true)
        # 1.5 s at 250 ms a point, less what attaching takes.
        [ "$tries" -ge 2 ] && [ "$tries" -le 7 ] || fail "$what: $tries tries to write in 1.5 s, not one every 250 ms"
        echo "$what: $tries tries to write in 1.5 s"
    else
        sleep 1.5
    fi
    kill -0 "$pid" || fail "$what: the program ended"
    cd "$work"
    end_case "$work"
}

# SIGKILL at random moments of a walk at full speed: the file stays whole, and whatever
# temporary the killed copy left goes at the next start.
case_killed() {
    mkdir "$work/killed"
    cd "$work/killed"
    local round left=0 leftovers
    for round in $(seq "$kill_rounds"); do
        what="killed, round $round"
        start_form "$what"
        [ -z "$(temporaries_in .)" ] || fail "$what: the start left $(temporaries_in .)"
        start_full_speed_scan "$window"
        sleep "$(printf '0.%03d' $((RANDOM % 500)))"
        kill -9 "$pid"
        wait "$pid" 2>/dev/null || true
        pid=""
        check_whole_document "$what"
        leftovers=$(temporaries_in .)
        [ -z "$leftovers" ] || left=$((left + 1))
    done
    # One more kill, certain to land inside a write: strace holds the writer back as it
    # is about to rename its finished temporary into place.
    if command -v strace > /dev/null; then
        what="killed inside a write"
        start_form "$what"
        [ -z "$(temporaries_in .)" ] || fail "$what: the start left $(temporaries_in .)"
        start_full_speed_scan "$window"
        strace -f -qq -o /dev/null -e trace=rename,renameat,renameat2 \
            -e inject=rename,renameat,renameat2:delay_enter=10000000 -p "$pid" 2>/dev/null & local tracer=$!
        for _ in $(seq 200); do
            leftovers=$(temporaries_in .)
            [ -n "$leftovers" ] && sleep 0.2 && [ "$(temporaries_in .)" = "$leftovers" ] && break
            sleep 0.01
        done
        # The tracer goes too, or the killed program would wait for its delay to end; a
        # rename held back with the kill pending never runs.
        kill -9 "$pid" "$tracer"
        wait "$pid" "$tracer" 2>/dev/null || true
        pid=""
        check_whole_document "$what"
        [ -n "$(temporaries_in .)" ] || fail "$what: no temporary was caught in the write"
        left=$((left + 1))
    fi
    what="killed, the start after"
    start_form "$what"
    [ -z "$(temporaries_in .)" ] || fail "$what: the start left $(temporaries_in .)"
    xdotool windowfocus --sync "$window" key Escape
    wait_for_exit "$pid" 500 || fail "$what: did not quit"
    pid=""
    echo "killed: $kill_rounds rounds at random and one inside a write; $left left a temporary," \
         "each cleared by the next start"
}

cd "$work"
case_read_only_folder
case_folder_named_like_the_file
case_link
case_reader_holds_the_file
case_full_disk
case_no_replace
case_folder_removed
case_frozen
case_killed
echo "faults: every case kept the file whole and the walk at its pace"
