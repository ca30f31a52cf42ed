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

. "$here/standin-prefix.sh" "$build/WINWORD.exe"

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
driver() { wine "$build/contract_driver.exe" "$@" 2>"$work/driver.err"; }
log="$work/calls.log"
export WORD_STANDIN_LOG="$log"
doc='C:\Documents\Résumé #1.docx'
# Word processes of this prefix; waits (10 s at most) for there to be N.
words() { driver processes WINWORD.exe | tr -d '\r'; }
words_become() { # words_become N
    for _ in $(seq 200); do [ "$(words)" = "$1" ] && break; sleep 0.05; done
    words
}
end_words() { wine taskkill /F /IM WINWORD.exe >/dev/null 2>&1 || true; words_become 0 >/dev/null; }
# The Windows default printer, as Windows keeps it for the user.
device_key='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows'
default_printer() { wine reg query "$device_key" /v Device 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
wine reg add "$device_key" /v Device /d "Office Default,winspool,Ne00:" /f >/dev/null 2>&1

opened="Documents
AutomationSecurity=3
DisplayAlerts=0
Open($doc, ConfirmConversions=false, ReadOnly=true, AddToRecentFiles=false, PasswordDocument=<given>, WritePasswordDocument=<given>, Revert=false, Visible=false, NoEncodingDialog=true)
ActiveWindow
Hwnd"

# Printing one document, by the program's own sequence: exactly these calls,
# in this order; the path (non-ASCII letters, a blank, "#") intact at Open;
# macros disabled and alerts off before Open; the printer set for this
# instance only; our document alone open, so Word is quit.
: >"$log"
out=$(driver print "Office Laser" "$doc")
check "print: the document prints" "printed" "$out"
check "print: the exact call sequence" "CreateInstance
$opened
WordBasic
FilePrintSetup(Printer=Office Laser, DoNotSetAsSysDefault=1)
PrintOut(Collate=true, Background=false, fileName=$doc)
Application
BackgroundPrintingStatus
Application
BackgroundPrintingStatus
Application
BackgroundPrintingStatus
wait 1
Count
Quit(false)" "$(cat "$log")"
check "print: Word's process has ended" "0" "$(words_become 0)"
check "print: the Windows default printer is the user's still" "Office Default,winspool,Ne00:" "$(default_printer)"

# Copies and pages go to Word's own PrintOut, the range set to pages.
: >"$log"
CONTRACT_COPIES=2 CONTRACT_PAGES=1-3,5 driver print "Office Laser" "$doc" >/dev/null
check "copies and pages: Word's arguments" \
    "PrintOut(Collate=true, Background=false, fileName=$doc, Copies=2, Range=4, Pages=1-3,5)" \
    "$(grep '^PrintOut' "$log")"

# The printer refused: Word's description, nothing printed, Word ended, the
# default printer untouched.
: >"$log"
out=$(WORD_STANDIN_FAIL="FilePrintSetup=There is a printer error." driver print "Gone" "$doc")
check "refused printer: Word's description" "could not print: There is a printer error." "$out"
check "refused printer: no PrintOut" "" "$(grep -E '^PrintOut' "$log" || true)"
check "refused printer: Word is ended" "Quit(false)" "$(tail -n 1 "$log")"
check "refused printer: the default printer is the user's still" "Office Default,winspool,Ne00:" "$(default_printer)"

# A busy Word is asked again: a call refused three times, and a Word that
# refuses every call, the name look-up included, for its first 8 seconds.
# One that stays busy fails with a sentence.
: >"$log"
out=$(WORD_STANDIN_BUSY="FilePrintSetup=3" driver print "Office Laser" "$doc")
check "busy Word: retried until it answers" "printed" "$out"
check "busy Word: asked four times" "4" "$(grep -c '^FilePrintSetup' "$log")"
out=$(WORD_STANDIN_BUSY_START=8 driver print "Office Laser" "$doc")
check "busy start: waited out, printed" "printed" "$out"
out=$(CONTRACT_BUSY_LIMIT=2 WORD_STANDIN_BUSY="FilePrintSetup=1000" driver print "Office Laser" "$doc")
check "busy Word: given up after a while, said as a sentence" \
    "could not print: Word is busy and did not accept the request." "$out"
end_words

# Open failing reaches the caller with its description, and Word is ended.
: >"$log"
out=$(WORD_STANDIN_FAIL="Open=This file could not be found." driver print "Office Laser" "$doc")
check "open failure: reaches the caller" "not opened: This file could not be found." "$out"
check "open failure: Word is ended" "Quit(false)" "$(tail -n 1 "$log")"

# A password-protected document fails at once instead of waiting for an
# answer to its question (the stand-in blocks for good without a password).
out=$(timeout 60 wine "$build/contract_driver.exe" print "Office Laser" 'C:\Documents\protected.docx' 2>/dev/null || echo "hung")
check "protected document: fails, no hang" "not opened: The password is incorrect." "$out"

# A dialog nobody sees: the call is given up at its limit, Word's process is
# ended, the caller's window was served all the while, and the next
# document prints.
out=$(CONTRACT_CALL_LIMIT=4 timeout 60 wine "$build/contract_driver.exe" print "Office Laser" \
      'C:\Documents\dialog.docx' "$doc" 2>"$work/driver.err" || echo "hung")
check "dialog: reported at the limit, the next document printed" \
    "not opened: Word did not answer within 4 seconds and was stopped.
printed" "$out"
served=$(head -n 1 "$work/driver.err" | sed -n 's/^window served \([0-9]*\) times.*/\1/p')
check "dialog: the window was served while Word hung" "yes" \
    "$([ "${served:-0}" -ge 100 ] && echo yes || echo "no (${served:-0})")"
check "dialog: no Word is left" "0" "$(words_become 0)"

# A document of the user's open in our instance: ours alone is closed,
# unsaved, and Word is left running for the user.
: >"$log"
out=$(WORD_STANDIN_USER_DOCUMENT=1 driver print "Office Laser" "$doc")
check "user's document: ours printed" "printed" "$out"
check "user's document: only ours closed, Word not quit" "Count
Close(SaveChanges=0)" "$(tail -n 2 "$log")"
check "user's document: its Word runs on" "1" "$(words_become 1)"
end_words

# A document's macro: the control shows that it runs when Word's defaults
# stand, and that Word's own ActivePrinter makes the printer the Windows
# default; printing the document runs neither.
export WORD_STANDIN_MARKER="$work/macro-ran"
rm -f "$WORD_STANDIN_MARKER"
driver open-unguarded 'C:\Documents\macro.docx' "Control Printer" >/dev/null
check "control: the macro runs with Word's defaults" "yes" "$([ -e "$WORD_STANDIN_MARKER" ] && echo yes || echo no)"
check "control: ActivePrinter changes the Windows default" "Control Printer,winspool,Ne00:" "$(default_printer)"
wine reg add "$device_key" /v Device /d "Office Default,winspool,Ne00:" /f >/dev/null 2>&1
rm -f "$WORD_STANDIN_MARKER"
out=$(driver print "Office Laser" 'C:\Documents\macro.docx')
check "macro document: printed" "printed" "$out"
check "macro document: its macro never ran" "no" "$([ -e "$WORD_STANDIN_MARKER" ] && echo yes || echo no)"

# The start-up check quits without an argument.
: >"$log"
out=$(driver check)
check "start-up check: an instance starts" "installed" "$out"
check "start-up check: Quit without an argument" "Quit()" "$(tail -n 1 "$log")"

# Attaching: none running, then one the user runs, then gone.
out=$(driver attach)
check "attach: none running fails" "none running:" "$(echo "$out" | cut -c1-13)"
for name in "Microsoft Word" "Microsoft Excel"; do
    rm -f "$work/ready" "$work/stop"
    WORD_STANDIN_NAME="$name" wine "$build/WINWORD.exe" /running "$(winepath -w "$work/ready")" \
        "$(winepath -w "$work/stop")" >/dev/null 2>&1 &
    host=$!
    for _ in $(seq 200); do [ -e "$work/ready" ] && break; sleep 0.05; done
    out=$(driver attach)
    touch "$work/stop"
    wait "$host" || true
    if [ "$name" = "Microsoft Word" ]; then
        check "attach: finds the user's running Word" "running: Microsoft Word (Word)" "$out"
    else
        check "attach: another product's name is not Word" "running: Microsoft Excel (not Word)" "$out"
    fi
done
out=$(driver attach)
check "attach: none after it is gone" "none running:" "$(echo "$out" | cut -c1-13)"

# Only a Word process certainly ours is ever ended. Quit failing, and the
# user starting Word at that very moment: the process that shows our
# document is ours and ended, the user's runs on. Without a window to tell,
# two new processes leave it unknown: nothing is ended (ours goes by itself
# once we let go of it, the user's runs on). From no Word at all: a Word of
# an earlier step may still be on its way out.
end_words
out=$(WORD_STANDIN_SPAWN="1=$(winepath -w "$build/WINWORD.exe")" WORD_STANDIN_FAIL="Quit=Word is busy." \
      driver print "Office Laser" "$doc")
check "claim: ours told by its window, ended; the user's runs on" "could not print: Word is busy. 1" \
    "$out $(words_become 1)"
end_words
out=$(WORD_STANDIN_SPAWN="1=$(winepath -w "$build/WINWORD.exe")" \
      WORD_STANDIN_FAIL="ActiveWindow=No window.|Quit=Word is busy." driver print "Office Laser" "$doc")
check "claim: two new processes and no window, none is ended" \
    "could not print: Word is busy. Word may still be running. 1" "$out $(words_become 1)"
end_words

# No "Word.Application" registered: the sentence users know from the
# start-up check.
unregister_standin
out=$(driver check)
check "unregistered ProgID: Word is not installed, said as a sentence" \
    "not installed: Word is not installed on this computer. You need to have it installed to use this software without error." "$out"

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
