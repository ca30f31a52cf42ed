#!/bin/bash
# Contract tests of the COM automation layer under Wine: cross-builds the
# layer, a stand-in "Word.Application" server and a driver with mingw-w64,
# registers the stand-in in a private Wine prefix, and checks the exact calls
# the layer makes and the failures it reports.
#   run-contract-tests.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: run-contract-tests.sh BUILD_DIR}/wine-contract

cmake --no-warn-unused-cli -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build" -j2 >/dev/null

. "$here/standin-prefix.sh" "$build/wordstandin.dll"

passed=0
failed=0
check() { # check NAME EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
        echo "PASS: $1"
    else
        failed=$((failed + 1))
        echo "FAIL: $1"
        echo "  expected: $(printf '%q' "$2")"
        echo "  actual:   $(printf '%q' "$3")"
    fi
}
driver() { wine "$build/contract_driver.exe" "$@" 2>/dev/null; }
log="$work/calls.log"
export WORD_STANDIN_LOG="$log"
doc='C:\Documents\Résumé #1.docx'

opened="Documents
AutomationSecurity=3
DisplayAlerts=0
Open($doc, ConfirmConversions=false, ReadOnly=true, AddToRecentFiles=false, PasswordDocument=<given>, WritePasswordDocument=<given>, Revert=false, Visible=false, NoEncodingDialog=true)"

# Printing one document, by the program's own sequence: exactly these calls,
# in this order; the path (non-ASCII letters, a blank, "#") intact at Open;
# macros disabled and alerts off before Open.
: >"$log"
out=$(driver print "$doc" "Office Laser")
check "print: the document prints" "printed" "$out"
check "print: the exact call sequence" "CreateInstance
$opened
ActivePrinter=Office Laser
PrintOut(Collate=true, Background=false, fileName=$doc)
Application
BackgroundPrintingStatus
Application
BackgroundPrintingStatus
Application
BackgroundPrintingStatus
wait 1
Quit(false)" "$(cat "$log")"

# ActivePrinter refused: Word's description, nothing printed, Word ended.
: >"$log"
out=$(WORD_STANDIN_FAIL="ActivePrinter=There is a printer error." driver print "$doc" "Gone")
check "refused printer: Word's description" "could not print: There is a printer error." "$out"
check "refused printer: no PrintOut" "" "$(grep -E '^PrintOut' "$log" || true)"
check "refused printer: Word is ended" "Quit(false)" "$(tail -n 1 "$log")"

# A busy server is asked again, the window served between the attempts; one
# that stays busy fails after a while.
: >"$log"
out=$(WORD_STANDIN_BUSY="ActivePrinter=3" driver print "$doc" "Office Laser")
check "busy server: retried until it answers" "printed" "$(echo "$out" | head -n 1)"
check "busy server: asked four times" "4" "$(grep -c '^ActivePrinter=' "$log")"
yields=$(echo "$out" | sed -n 's/^yields while busy: //p')
check "busy server: the caller yields between the retries" "yes" "$([ "${yields:-0}" -ge 3 ] && echo yes || echo "no (${yields:-0})")"
out=$(WORD_STANDIN_BUSY="ActivePrinter=1000" driver print "$doc" "Office Laser")
check "busy server: a bounded number of retries" "could not print: 0x80010001" "$(echo "$out" | head -n 1)"

# Open failing reaches the caller with its description, and Word is ended.
: >"$log"
out=$(WORD_STANDIN_FAIL="Open=This file could not be found." driver print "$doc" "Office Laser")
check "open failure: reaches the caller" "not opened: This file could not be found." "$out"
check "open failure: Word is ended" "Quit(false)" "$(tail -n 1 "$log")"

# A password-protected document fails at once instead of waiting for an
# answer to its question (the stand-in blocks for good without a password).
: >"$log"
out=$(timeout 30 wine "$build/contract_driver.exe" print 'C:\Documents\protected.docx' "Office Laser" 2>/dev/null || echo "hung")
check "protected document: fails, no hang" "not opened: The password is incorrect." "$out"
check "protected document: Word is ended" "Quit(false)" "$(tail -n 1 "$log")"

# A document's macro: the control shows that it runs when Word's defaults
# stand; printing it does not run it.
export WORD_STANDIN_MARKER="$work/macro-ran"
rm -f "$WORD_STANDIN_MARKER"
driver open-unguarded 'C:\Documents\macro.docx' >/dev/null
check "macro control: runs with Word's defaults" "yes" "$([ -e "$WORD_STANDIN_MARKER" ] && echo yes || echo no)"
rm -f "$WORD_STANDIN_MARKER"
out=$(driver print 'C:\Documents\macro.docx' "Office Laser")
check "macro document: printed" "printed" "$out"
check "macro document: its macro never ran" "no" "$([ -e "$WORD_STANDIN_MARKER" ] && echo yes || echo no)"

# The start-up check quits without an argument.
: >"$log"
out=$(driver check)
check "start-up check: an instance starts" "installed" "$out"
check "start-up check: Quit without an argument" "Quit()" "$(tail -n 1 "$log")"

# Attaching: none running, then one running in another process, then gone.
out=$(driver attach)
check "attach: none running fails" "none running:" "$(echo "$out" | cut -c1-13)"
rm -f "$work/ready" "$work/stop"
wine "$build/standin_host.exe" "$(winepath -w "$work/ready")" "$(winepath -w "$work/stop")" >/dev/null 2>&1 &
host=$!
for _ in $(seq 200); do [ -e "$work/ready" ] && break; sleep 0.05; done
out=$(driver attach)
check "attach: finds the instance of another process" "running: Microsoft Word (Word)" "$out"
touch "$work/stop"
wait "$host" || true
out=$(driver attach)
check "attach: none after it is gone" "none running:" "$(echo "$out" | cut -c1-13)"

# Another answer to the default member is not Word.
WORD_STANDIN_NAME="Microsoft Excel" wine "$build/standin_host.exe" "$(winepath -w "$work/ready2")" "$(winepath -w "$work/stop2")" >/dev/null 2>&1 &
host=$!
for _ in $(seq 200); do [ -e "$work/ready2" ] && break; sleep 0.05; done
out=$(driver attach)
check "attach: another product's name is not Word" "running: Microsoft Excel (not Word)" "$out"
touch "$work/stop2"
wait "$host" || true

# Only a Word process certainly ours is ever ended: with Quit failing, the one
# WINWORD.EXE that appeared with our instance is ended; when two appeared at
# once (the user started Word then too), neither is, and the report says so.
words() { pgrep -fc 'WINWORD[.]exe' || true; }
dummy=$(winepath -w "$build/WINWORD.exe")
for appeared in 1 2; do
    : >"$log"
    out=$(WORD_STANDIN_SPAWN="$appeared=$dummy" WORD_STANDIN_FAIL="Quit=Word is busy." \
          driver print "$doc" capture)
    # An ended process may take a moment to go; the others sleep a minute.
    for _ in $(seq 100); do [ "$(words)" -le $((appeared - 1)) ] && break; sleep 0.05; done
    left=$(words)
    pkill -f 'WINWORD[.]exe' || true
    if [ "$appeared" -eq 1 ]; then
        check "claim: the one new Word process is ours and ended" "0 could not print: Word is busy." \
            "$left $out"
    else
        check "claim: two new Word processes, none is ended" \
            "2 could not print: Word is busy. Word may still be running." "$left $out"
    fi
done

# No "Word.Application" registered: a clean failure with a description.
unregister_standin
out=$(driver check)
check "unregistered ProgID: fails cleanly" "not installed: 0x800401F3" "$out"

# The Windows folder listing on a real tree.
mkdir -p "$work/tree"
listing=$(wine "$build/listing_driver.exe" "$(winepath -w "$work/tree")" 2>/dev/null || true)
echo "$listing" | grep -E '^(PASS|FAIL|SKIP)'
passed=$((passed + $(echo "$listing" | grep -c '^PASS' || true)))
failed=$((failed + $(echo "$listing" | grep -c '^FAIL' || true)))
if ! echo "$listing" | grep -q '^listing: '; then
    echo "FAIL: listing: the listing driver did not finish"
    failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
