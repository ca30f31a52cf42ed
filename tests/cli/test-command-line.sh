#!/bin/bash
# The program from outside, as scripts and file managers use it, on the
# private scheduler (run through with-private-cups.sh):
#  - marrowlake --print: three documents (one bad) in order on the capture
#    queue, the exact lines on standard output, exit status 1;
#  - an unknown printer: exit status 2, nothing printed;
#  - a second `marrowlake PATH...` hands its paths to the running window;
#  - marrowlake --watch: arrivals print once each, in order of arrival.
#   test-command-line.sh PROGRAM MAKE_DOCUMENT_SCRIPT
set -euo pipefail
program=${1:?usage: test-command-line.sh PROGRAM MAKE_DOCUMENT_SCRIPT}
maker=${2:?usage: test-command-line.sh PROGRAM MAKE_DOCUMENT_SCRIPT}
work=$(mktemp -d)
first="" watcher="" writer=""
cleanup() {
    for p in $first $watcher $writer; do
        kill "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
# Settings of this test's own, never the user's.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" XDG_STATE_HOME="$work/state"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
. "$(dirname "$0")/checks.sh"
jobs() { ls "$CAPTURE_ROOT/capture" 2>/dev/null | wc -l; }
# A queue prints in the order jobs came: the number of jobs after the first
# $1 and before a marker job sent now, once the marker is in.
jobs_before_marker() {
    echo marker | lp -d capture -t cli-marker >/dev/null
    local after=$(($1 + 1))
    wait_for "the marker job" 120 'ls "$CAPTURE_ROOT/capture" | tail -n +$after | grep -q -- -cli-marker'
    ls "$CAPTURE_ROOT/capture" | tail -n +$after | sed '/-cli-marker/,$d' | wc -l
}

docs="$work/docs"
mkdir -p "$docs"
python3 "$maker" "$docs/one.docx" "clifirst"
echo "not a document" >"$docs/two.docx"
python3 "$maker" "$docs/three.odt" "clithird"

before=$(jobs)
set +e
"$program" --print --printer capture --pause 0 "$docs/one.docx" "$docs/two.docx" "$docs/three.odt" >"$work/out" 2>"$work/err"
status=$?
set -e
expected="printed $docs/one.docx
failed $docs/two.docx: This file is damaged or is not a word-processor document: $docs/two.docx
printed $docs/three.odt
2 printed, 1 not printed"
check "--print exits 1 when a document failed" [ "$status" -eq 1 ]
check "--print says one line per document and a summary" [ "$(cat "$work/out")" = "$expected" ]
wait_for "two jobs" 120 '[ "$(jobs)" -ge $((before + 2)) ]'
mapfile -t captured < <(ls "$CAPTURE_ROOT/capture" | sort | tail -n 2)
check "two jobs on the queue" [ "$(jobs)" -eq $((before + 2)) ]
check "the first document first" grep -q clifirst <(pdftotext "$CAPTURE_ROOT/capture/${captured[0]}" -)
check "the third document second" grep -q clithird <(pdftotext "$CAPTURE_ROOT/capture/${captured[1]}" -)
check "the record has the run, the bad document's reason included" \
    [ "$("$program" --history 3 | cut -c22- | tr -s ' ')" = "printed capture $docs/one.docx
not printed capture $docs/two.docx: This file is damaged or is not a word-processor document: $docs/two.docx
printed capture $docs/three.odt" ]
check "the record's paths are a list file" \
    [ "$("$program" --history --paths 3)" = "$(printf '%s\n' "$docs/one.docx" "$docs/two.docx" "$docs/three.odt")" ]

before=$(jobs)
set +e
"$program" --print --printer no-such-queue "$docs/one.docx" >"$work/out" 2>"$work/err"
status=$?
set -e
check "an unknown printer exits 2" [ "$status" -eq 2 ]
check "an unknown printer prints nothing" [ "$(jobs_before_marker "$before")" -eq 0 ]
check "an unknown printer is named" grep -q 'no printer named "no-such-queue"' "$work/err"
# "." and "dir/" name their folder, cleanly and absolutely.
mkdir -p "$docs/dotted"
python3 "$maker" "$docs/dotted/d.docx" "clidotted"
set +e
(cd "$docs" && "$program" --print --printer capture --pause 0 dotted/ "" && cd dotted && "$program" --print --printer capture --pause 0 .) >"$work/out" 2>"$work/err"
status=$?
set -e
expected="printed $docs/dotted/d.docx
1 printed, 0 not printed
printed $docs/dotted/d.docx
1 printed, 0 not printed"
check "--print of . and dir/ exits 0" [ "$status" -eq 0 ]
check "--print takes . and dir/ as clean absolute folders" [ "$(cat "$work/out")" = "$expected" ]
check "--print leaves an empty path out with a warning" grep -q "an empty path is left out" "$work/err"
check "--version" [ "$("$program" --version)" = "marrowlake $("$program" --version | cut -d' ' -f2)" ]

# One window: the first program runs on the offscreen platform; a second
# start hands a folder and a file over and ends at once.
mkdir -p "$docs/tree/sub"
touch "$docs/tree/a.doc" "$docs/tree/sub/b.doc"
QT_QPA_PLATFORM=offscreen "$program" &
first=$!
socket="$XDG_RUNTIME_DIR/marrowlake.socket"
wait_for "the window's socket" 120 '[ -S "$socket" ]'
check "the first program listens" [ -S "$socket" ]
rows() { # the running window's number of rows, asked over its socket
    python3 -c 'import socket,sys
s=socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); s.sendall(b"\0")
print(s.recv(100).decode().split()[1])' "$socket"
}
set +e
QT_QPA_PLATFORM=offscreen "$program" "$docs/tree" "" "$docs/one.docx" "$docs/not-there.docx" 2>"$work/err"
status=$?
set -e
check "the second start hands over and exits 0" [ "$status" -eq 0 ]
check "an empty path is left out with a warning" grep -q "an empty path is left out" "$work/err"
check "a missing path is said, not added" grep -q "no file or folder $docs/not-there.docx" "$work/err"
wait_for "three rows" 120 '[ "$(rows)" -eq 3 ]'
check "the running window got the folder's two files and the file" [ "$(rows)" -eq 3 ]
check "the first program still runs" kill -0 "$first"
kill "$first"
wait "$first" 2>/dev/null || true

# Open with on five files at once: five starts, no window running yet. One
# of them opens the window and the others hand their file to it, while it
# is still starting up.
mkdir -p "$docs/five"
pids=()
for name in a b c d e; do
    touch "$docs/five/$name.docx"
    QT_QPA_PLATFORM=offscreen "$program" "$docs/five/$name.docx" 2>/dev/null &
    pids+=($!)
done
ended=0 statuses=0 window=""
for pid in "${pids[@]}"; do
    for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    if kill -0 "$pid" 2>/dev/null; then
        window="$window $pid"
    else
        ended=$((ended + 1))
        wait "$pid" || statuses=$((statuses + 1))
    fi
done
check "five starts at once: four hand over and exit 0, one window runs" \
    [ "$ended $statuses $(echo $window | wc -w)" = "4 0 1" ]
wait_for "five rows" 120 '[ "$(rows)" = 5 ]'
check "five starts at once: the one window has the five rows" [ "$(rows)" = 5 ]
kill $window 2>/dev/null || true

# A watched folder: what was there stays, arrivals print once each in order
# of arrival, a document still being written waits for its writer, office
# lock files never print, and a restart prints what came meanwhile and
# nothing twice.
export XDG_DATA_HOME="$work/data"
in="$work/watched"
mkdir -p "$in/sub"
python3 "$maker" "$in/there-before.docx" "watchbefore"
python3 "$maker" "$work/partial.docx" "watchpartial"
python3 "$maker" "$work/whole.docx" "watchwhole"
python3 "$maker" "$work/later.docx" "watchlater"
start_watch() { # start_watch [OPTION...]
    : >"$work/watch.err"
    "$program" --watch "$in" --printer capture --pause 0 "$@" >"$work/watch.out" 2>"$work/watch.err" &
    watcher=$!
    wait_for "the watch to start" 120 'grep -q watching "$work/watch.err"'
}
stop_watch() { # the watch's exit status
    kill -TERM "$watcher"
    local status=0
    wait "$watcher" || status=$?
    watcher=""
    return "$status"
}
wait_for_line() { # wait_for_line TEXT
    local text=$1
    wait_for "$text in the watch's output" 120 'grep -qF -- "$text" "$work/watch.out"'
}
before=$(jobs)
start_watch
# A copy that stops half-way, its writer holding the file open until told.
python3 - "$work/partial.docx" "$in/sub/partial.docx" "$work/go" <<'PY' &
import os, sys, time
data = open(sys.argv[1], 'rb').read()
with open(sys.argv[2], 'wb') as out:
    out.write(data[:len(data) // 2])
    out.flush()
    limit = time.time() + 300
    while not os.path.exists(sys.argv[3]):
        if time.time() > limit:
            sys.exit("gave up waiting for the test to let the writer finish")
        time.sleep(0.05)
    out.write(data[len(data) // 2:])
PY
writer=$!
wait_for "the writer's first half" 120 '[ -s "$in/sub/partial.docx" ]'
echo lock >"$in/.~lock.whole.docx#"
echo lock >"$in/~\$whole.docx"
cp "$work/whole.docx" "$in/whole.docx"
wait_for_line "whole.docx"
check "a whole document prints while another is still being written" \
    [ "$(cat "$work/watch.out")" = "printed $in/whole.docx" ]
touch "$work/go"
wait "$writer"
writer=""
wait_for_line "partial.docx"
status=0
stop_watch || status=$?
check "a watch ends cleanly on SIGTERM" [ "$status" -eq 0 ]
check "the copy prints once complete, after the other; nothing else" [ "$(cat "$work/watch.out")" = "printed $in/whole.docx
printed $in/sub/partial.docx
2 printed, 0 not printed" ]
cp "$work/later.docx" "$in/later.docx" # while nobody watches
start_watch
wait_for_line "later.docx"
stop_watch || true
check "a restart prints what came meanwhile, and nothing twice" [ "$(cat "$work/watch.out")" = "printed $in/later.docx
1 printed, 0 not printed" ]
check "three jobs from the watch" [ "$(jobs_before_marker "$before")" -eq 3 ]
mapfile -t captured < <(ls "$CAPTURE_ROOT/capture" | sort | tail -n +$((before + 1)) | head -n 3)
i=0
for word in watchwhole watchpartial watchlater; do
    check "watched job $((i + 1)) is $word" grep -q "$word" <(pdftotext "$CAPTURE_ROOT/capture/${captured[$i]}" -)
    i=$((i + 1))
done

# The watched folder removed and made again: said once, and what lands in
# the new one is printed.
before=$(jobs)
start_watch
rm -rf "$in"
mkdir -p "$in"
wait_for "the folder to be said gone" 120 'grep -q "is gone" "$work/watch.err"'
python3 "$maker" "$in/back.docx" "watchback"
wait_for "back.docx to print" 120 'grep -qF "back.docx" "$work/watch.out"'
status=0
stop_watch || status=$?
check "a watched folder that went away is said once, and watched again when back" \
    [ "$(grep -c 'is gone' "$work/watch.err") $(cat "$work/watch.out" | head -n 1) $status" = "1 printed $in/back.docx 0" ]

# Printed documents moved to a done folder inside the watched one (which
# the watch leaves out), failed ones to a failed folder with the reason. The
# good one's name is not UTF-8, and so is the done folder's: each is itself.
good="good"$'\xe9'".docx" done="$in/d"$'\xf6'"ne"
start_watch --done "$done" --failed "$work/failed"
python3 "$maker" "$in/$good" "watchgood"
echo "not a document" >"$in/bad.docx"
wait_for "two lines from the watch" 120 '[ "$(wc -l <"$work/watch.out")" -ge 2 ]'
wait_for "the failed document's reason" 120 '[ -e "$work/failed/bad.docx.txt" ]'
stop_watch || true
check "a printed document goes to the done folder, a failed one to the failed folder" \
    [ "$(cd "$in" && ls "$good" bad.docx 2>/dev/null | wc -l) $(ls "$done") $(ls "$work/failed" | tr '\n' ' ')" = "0 $good bad.docx bad.docx.txt " ]
check "the done folder is not watched: nothing printed twice" \
    [ "$(grep '^printed' "$work/watch.out")" = "printed $in/good\\xe9.docx" ]

skipped=0
# Nothing lost when the system's queue of changes overflows: its limit
# lowered (as root) only while the station starts, the station held stopped
# while 150 documents are copied in; each prints exactly once.
limit_file=/proc/sys/fs/inotify/max_queued_events
over="$work/overflow"
mkdir -p "$over"
if [ -w "$limit_file" ]; then
    limit=$(cat "$limit_file")
    echo 32 >"$limit_file"
    "$program" --watch "$over" --printer capture --pause 0 >"$work/over.out" 2>"$work/over.err" &
    station=$!
    wait_for "the station to start" 120 'grep -q watching "$work/over.err"'
    echo "$limit" >"$limit_file" # the station's queue keeps the low limit
    kill -STOP "$station"
    python3 "$maker" "$work/overflowing.docx" "overflowing"
    for i in $(seq -w 1 150); do cp "$work/overflowing.docx" "$over/doc$i.docx"; done
    kill -CONT "$station"
    wait_for "150 printed documents" 300 '[ "$(grep -c "^printed" "$work/over.out")" -ge 150 ]'
    kill -TERM "$station"
    wait "$station" || true
    check "an overflow loses nothing: 150 documents, each printed once" \
        [ "$(grep -c '^printed' "$work/over.out") $(grep '^printed' "$work/over.out" | sort | uniq -d | wc -l)" = "150 0" ]
else
    echo "skipped: an overflow of the change queue (its limit cannot be set here)"
    skipped=$((skipped + 1))
fi

# A name that is not UTF-8 is its own file, given by name or found in a
# folder: it prints its own text, never that of the file whose name looks
# like it, and its line writes the stray byte as C would.
names="$docs/names"
mkdir -p "$names"
python3 "$maker" "$names/caf"$'\xe9'".docx" "latinone"
python3 "$maker" "$names/caf"$'\xef\xbf\xbd'".docx" "lookalike"
before=$(jobs)
status=0
"$program" --print --printer capture --pause 0 "$names/caf"$'\xe9'".docx" "$names" >"$work/out" 2>"$work/err" || status=$?
check "a name that is not UTF-8 prints as itself, on a line that names it" \
    [ "$status $(cat "$work/out" | tr '\n' '|')" = "0 printed $names/caf\\xe9.docx|printed $names/caf\\xe9.docx|printed $names/caf"$'\xef\xbf\xbd'".docx|3 printed, 0 not printed|" ]
check "a name that is not UTF-8 prints its own file" \
    [ "$(jobs_before_marker "$before") $(ls "$CAPTURE_ROOT/capture" | sort | tail -n 4 | head -n 3 | while read -r job; do pdftotext "$CAPTURE_ROOT/capture/$job" - | grep -o 'latinone\|lookalike'; done | tr '\n' ' ')" = "3 latinone latinone lookalike " ]

# A name with a newline is still one line of output, escaped as C would.
python3 "$maker" "$docs/two
lines.docx" "twolines"
"$program" --print --printer capture --pause 0 "$docs/two
lines.docx" >"$work/out" 2>&1 || true
check "a name with a newline prints, on one escaped line" [ "$(cat "$work/out")" = "printed $docs/two\\nlines.docx
1 printed, 0 not printed" ]

# Paths from a pipe, NUL-separated, a name with a newline among them, then
# those of the command line.
printf '%s\0' "$docs/two
lines.docx" "$docs/one.docx" | "$program" --print --printer capture --pause 0 --null --from - "$docs/three.odt" >"$work/out" 2>&1 || true
check "--null --from - keeps every name and the order, the command line's last" [ "$(cat "$work/out")" = "printed $docs/two\\nlines.docx
printed $docs/one.docx
printed $docs/three.odt
3 printed, 0 not printed" ]

# Copies and pages go to the office's own print call: the pages asked for
# (past the end, what there is) and the copies the job asks for; pages
# that are not there at all are a failure, not an empty success.
python3 "$maker" --pages 6 "$docs/six.docx" "Page PAGENUMBER"
before=$(jobs)
statuses=""
for range in "--copies 2 --pages 2-3,5" "--pages 5-9" "--pages 8-9"; do
    status=0
    # shellcheck disable=SC2086 # the options are meant to split
    "$program" --print --printer capture --pause 0 $range "$docs/six.docx" >/dev/null 2>&1 || status=$?
    statuses="$statuses$status "
done
check "copies and pages: two jobs, the third range said to be missing" \
    [ "$statuses$(jobs_before_marker "$before")" = "0 0 1 2" ]
mapfile -t captured < <(ls "$CAPTURE_ROOT/capture" | sort | tail -n 3 | head -n 2)
pages_and_copies() { # the job's pages and the copies it asks for
    echo "$(pdfinfo "$CAPTURE_ROOT/capture/$1" | awk '/^Pages:/ {print $2}') $(cat "$CAPTURE_ROOT/capture.copies/${1%%-*}")"
}
check "copies and pages: 3 pages twice, then pages 5 and 6 once" \
    [ "$(pages_and_copies "${captured[0]}"), $(pages_and_copies "${captured[1]}")" = "3 2, 2 1" ]

# A full disk is said as such: the cache, where the office profile is kept,
# on a file system of its own that is full (a private mount, as root).
mkdir -p "$work/full"
if unshare -m true 2>/dev/null; then
    out=$(unshare -m sh -c 'mount -t tmpfs -o size=2M tmpfs "$1" &&
        { dd if=/dev/zero of="$1/fill" bs=64k 2>/dev/null; true; } &&
        XDG_CACHE_HOME="$1/cache" "$2" --print --printer capture --pause 0 "$3" 2>&1' \
        sh "$work/full" "$program" "$docs/one.docx" || true)
    check "a full disk is said as such" grep -q "No space left in $work/full/cache" <<<"$out"
else
    echo "skipped: a full disk (no private mounts here)"
    skipped=$((skipped + 1))
fi

echo "command line: $passes passed, $failures failed, $skipped skipped"
[ "$failures" -eq 0 ]
