#!/bin/bash
# A print station that a stranger drops into: the station runs as this
# user (root), the stranger is another local account ("nobody") writing into
# the shared folder. Judged by what the private scheduler received and what
# is on disk. Run through with-private-cups.sh; needs root to be two users
# (exit 77, shown as skipped, otherwise).
#   test-station.sh PROGRAM MAKE_DOCUMENT_SCRIPT
set -euo pipefail
program=${1:?usage: test-station.sh PROGRAM MAKE_DOCUMENT_SCRIPT}
maker=${2:?usage: test-station.sh PROGRAM MAKE_DOCUMENT_SCRIPT}
if [ "$(id -u)" -ne 0 ] || ! id nobody >/dev/null 2>&1 || ! command -v setpriv >/dev/null; then
    echo "skipped: a second local user needs root and the account nobody"
    exit 77
fi
work=$(mktemp -d)
other=$(mktemp -d /dev/shm/marrowlake-station.XXXXXX) # another file system
station="" second=""
cleanup() {
    for p in $station $second; do
        kill "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    rm -rf "$work" "$other"
}
trap cleanup EXIT
chmod 755 "$work"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" XDG_STATE_HOME="$work/state"
export XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
. "$(dirname "$0")/checks.sh"
stranger() { setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; }
# The jobs the queue holds whose text has WORD.
jobs_with() {
    local n=0 job
    for job in "$CAPTURE_ROOT"/capture/*; do
        [ -e "$job" ] && pdftotext "$job" - 2>/dev/null | grep -q "$1" && n=$((n + 1))
    done
    echo "$n"
}

# The owner's private document, and the shared drop folder.
mkdir -p "$work/private" "$work/in" "$work/staging"
chmod 700 "$work/private"
python3 "$maker" "$work/private/secret.docx" "ownersecret"
chmod 777 "$work/in" "$work/staging"
python3 "$maker" "$work/staging/form.docx" "formtext"
python3 "$maker" "$work/staging/linked.docx" "hardlinkedtext"
chown nobody "$work/staging"/*.docx # the stranger's own files
in="$work/in"

# Folders made in advance by the stranger are never written into: the
# station refuses them at the start, with status 2 and a sentence.
stranger mkdir "$in/done"
stranger ln -s "$work/private/planted" "$in/done/x.docx.txt"
status=0
"$program" --watch "$in" --printer capture --done "$in/done" >/dev/null 2>"$work/refused.err" || status=$?
check "a done folder the stranger made: refused with status 2, nothing written" \
    [ "$status $(grep -c 'belongs to another user' "$work/refused.err") $(ls "$work/private")" = "2 1 secret.docx" ]
for wrong in "$in" "$work"; do
    status=0
    "$program" --watch "$in" --printer capture --done "$wrong" >/dev/null 2>&1 || status=$?
    check "--done at or above the watched folder ($wrong): status 2" [ "$status" -eq 2 ]
done

# The station: done documents to another file system, failed ones beside.
"$program" --watch "$in" --printer capture --pause 0 --done "$other/done" --failed "$work/failed" \
    >"$work/station.out" 2>"$work/station.err" &
station=$!
wait_for "the station to start" 120 'grep -q watching "$work/station.err"'
status=0
"$program" --watch "$in" --printer capture >/dev/null 2>"$work/second.err" || status=$?
check "a second station on the folder: status 2, naming the first" \
    [ "$status $(grep -c "by process $station" "$work/second.err")" = "2 1" ]

# Links to the owner's files, and names that would forge lines or drive
# the terminal.
stranger ln -s "$work/private/secret.docx" "$in/link.docx"
stranger ln -s "$work/private/secret.docx" "$in/evil"$'\n'"FORGED line"$'\e[2J\a\r'".docx"
stranger mkdir "$in/sub"
stranger ln -s "$work/private" "$in/sub/deeper"
wait_for "the links to be said" 120 '[ "$(grep -c "is a link" "$work/station.err")" -ge 2 ]'
# The same form dropped twice, the second after the first went to --done.
stranger sh -c "umask 077; cp '$work/staging/form.docx' '$in/form.docx'"
wait_for "the first form" 120 '[ -e "$other/done/form.docx" ]'
stranger cp "$work/staging/form.docx" "$in/form.docx"
wait_for "the second form" 120 '[ -e "$other/done/form (2).docx" ]'
# A hard link made in the folder: printed once, after the settle time.
stranger ln "$work/staging/linked.docx" "$in/hardlinked.docx"
wait_for "the hard link" 120 '[ -e "$other/done/hardlinked.docx" ]'
# report.doc and report.docx both failing keep a reason each.
stranger sh -c "echo 'not a document' >'$in/report.doc'; echo 'not one either' >'$in/report.docx'"
wait_for "two reasons" 120 '[ -e "$work/failed/report.doc.txt" ] && [ -e "$work/failed/report.docx.txt" ]'
kill -TERM "$station"
status=0
wait "$station" || status=$?
station=""

check "the station ends cleanly" [ "$status" -eq 0 ]
check "the owner's document never reaches the queue" [ "$(jobs_with ownersecret)" -eq 0 ]
check "the same form dropped twice prints twice" [ "$(jobs_with formtext)" -eq 2 ]
check "a hard-linked arrival prints once" [ "$(jobs_with hardlinkedtext)" -eq 1 ]
check "the lines say two forms and the hard link printed, the reports failed" \
    [ "$(grep -c '^printed' "$work/station.out") $(grep -c '^failed' "$work/station.out")" = "3 2" ]
check "a moved document keeps its mode and owner across file systems" \
    [ "$(stat -c '%a %U' "$other/done/form.docx")" = "600 nobody" ]
check "the done and failed folders are the station's own and private" \
    [ "$(stat -c '%a %U' "$other/done" "$work/failed" | sort -u)" = "700 root" ]
check "no output line is forged or carries a control character" \
    bash -c "! grep -q '^FORGED' '$work/station.err' '$work/station.out' &&
             ! LC_ALL=C grep -q \$'[\\x01-\\x08\\x0b-\\x1f\\x7f]' '$work/station.err' '$work/station.out'"
check "the link with a forged name is said escaped" grep -qF 'evil\nFORGED line\x1b[2J\x07\r.docx' "$work/station.err"
check "nothing was written beside the owner's document" [ "$(ls -A "$work/private")" = "secret.docx" ]

echo "station: $passes passed, $failures failed, 0 skipped"
[ "$failures" -eq 0 ]
