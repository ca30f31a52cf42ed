#!/bin/bash
# Contract tests of the COM automation layer under Wine: cross-builds the
# layer, a stand-in "Word.Application" server and a driver with mingw-w64,
# registers the stand-in in a private Wine prefix, and checks the exact calls
# the layer makes, the failures it reports, and the jobs that reach the
# scheduler. Run through with-private-cups.sh (queues "capture second": Wine
# takes its printers from there) on a display (xvfb-run: Word's dialogs and
# windows are real windows).
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
documents="$WINEPREFIX/drive_c/Documents"
mkdir -p "$documents"
for name in 'Résumé #1' protected dialog macro damaged links fillin one two three; do
    echo "$name" >"$documents/$name.docx"
done
# The titles of the jobs a queue received, in order (the capture backend
# names each file JOBID-TITLE, the title's unusual characters made "_").
jobs() { ls "$CAPTURE_ROOT/$1" 2>/dev/null | sort | sed 's/^[0-9]*-//' | tr '\n' ' '; }
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
# Wine takes its printers from the scheduler when a program first prints
# (and makes the scheduler's default the user's).
driver processes none >/dev/null
users_default=$(default_printer)

opened="Documents
Options
DisplayAlerts
AutomationSecurity
UpdateLinksAtOpen
UpdateFieldsAtPrint
AutomationSecurity=3
DisplayAlerts=0
UpdateLinksAtOpen=false
UpdateFieldsAtPrint=false
OpenNoRepairDialog($doc, ConfirmConversions=false, ReadOnly=true, AddToRecentFiles=false, PasswordDocument=<given>, WritePasswordDocument=<given>, Revert=false, Visible=false, NoEncodingDialog=true)
ActiveWindow
Hwnd"
# Word's own settings as they were, when the program lets go of Word.
given_back="released: DisplayAlerts=-1 UpdateLinksAtOpen=true UpdateFieldsAtPrint=false AutomationSecurity=1"

# Printing one document, by the program's own sequence: exactly these calls,
# in this order; the path (non-ASCII letters, a blank, "#") intact at Open;
# macros, alerts, link updates at open and field updates at print off before
# Open, the options given back before Quit; the printer set for this
# instance only; our document alone open, so Word is quit. The job reaches
# the queue, titled with the document's name.
: >"$log"
out=$(driver print second "$doc")
check "print: the document prints" "printed" "$out"
check "print: the exact call sequence" "CreateInstance
$opened
WordBasic
FilePrintSetup(Printer=second, DoNotSetAsSysDefault=1)
PrintOut(Collate=true, Background=false, FileName=$doc)
job: Résumé #1.docx on second
Application
BackgroundPrintingStatus
Application
BackgroundPrintingStatus
Application
BackgroundPrintingStatus
wait 1
UpdateLinksAtOpen=true
UpdateFieldsAtPrint=false
Count
Quit(false)
released: DisplayAlerts=0 UpdateLinksAtOpen=true UpdateFieldsAtPrint=false AutomationSecurity=3" "$(cat "$log")"
check "print: Word's process has ended" "0" "$(words_become 0)"
check "print: the Windows default printer is the user's still" "$users_default" "$(default_printer)"
check "print: the job reached the queue titled with the document's name" "R__sum____1.docx " "$(jobs second)"

# Three documents on the first printer: their jobs in list order there.
driver print capture 'C:\Documents\one.docx' 'C:\Documents\two.docx' 'C:\Documents\three.docx' >/dev/null
check "queue: the jobs in list order on the chosen printer" "one.docx two.docx three.docx " "$(jobs capture)"

# Copies and pages go to Word's own PrintOut, the range set to pages.
: >"$log"
CONTRACT_COPIES=2 CONTRACT_PAGES=1-3,5 driver print capture "$doc" >/dev/null
check "copies and pages: Word's arguments" \
    "PrintOut(Collate=true, Background=false, FileName=$doc, Copies=2, Range=4, Pages=1-3,5)" \
    "$(grep '^PrintOut' "$log")"

# The strict stand-in answers a member only on its own object, and a named
# argument only for its own member; the controls show the right object and
# member accepted.
check "wrong object: Open on the Application is rejected, on Documents accepted" "rejected accepted" \
    "$(driver member Application Open | tr -d '\r') $(driver member Documents Open | tr -d '\r')"
check "wrong object: NoRepairDialog is no argument of Open; FileName is" "rejected accepted" \
    "$(driver member Documents Open NoRepairDialog | tr -d '\r') $(driver member Documents Open FileName | tr -d '\r')"

# A printer that does not exist: Word's description, nothing printed, Word
# ended, the default printer untouched.
: >"$log"
out=$(driver print "Gone" "$doc")
check "refused printer: Word's description" "could not print: There is a printer error." "$out"
check "refused printer: no PrintOut, Word quit" "no Quit(false)" \
    "$(grep -q '^PrintOut' "$log" && echo yes || echo no) $(grep '^Quit' "$log")"
check "refused printer: the default printer is the user's still" "$users_default" "$(default_printer)"

# A printer whose port asks for a file name (as Microsoft Print to PDF's
# does) would show its save dialog in the invisible Word: refused before the
# document is sent, with a sentence. (Wine adds no such printer: the driver
# is told that "capture" is on FILE:.)
: >"$log"
out=$(CONTRACT_FILE_PORT=capture driver print capture "$doc")
check "asks for a file: the printer is refused with its sentence, nothing sent" \
    "could not print: The printer capture asks for a file name for every document (its port is FILE:), which nobody can answer here. Choose another printer. no" \
    "$out $(grep -q '^PrintOut' "$log" && echo yes || echo no)"

# A busy Word is asked again: a call refused three times, and a Word that
# refuses every call, the name look-up included, for its first 8 seconds.
# One that stays busy fails with a sentence.
: >"$log"
out=$(WORD_STANDIN_BUSY="FilePrintSetup=3" driver print capture "$doc")
check "busy Word: retried until it answers" "printed" "$out"
check "busy Word: asked four times" "4" "$(grep -c '^FilePrintSetup' "$log")"
out=$(WORD_STANDIN_BUSY_START=8 driver print capture "$doc")
check "busy start: waited out, printed" "printed" "$out"
out=$(CONTRACT_BUSY_LIMIT=2 WORD_STANDIN_BUSY="FilePrintSetup=1000" driver print capture "$doc")
check "busy Word: given up after a while, said as a sentence" \
    "could not print: Word is busy and did not accept the request." "$out"
end_words

# Open failing reaches the caller with its description, and Word is ended;
# a file that is not there fails as Word fails.
: >"$log"
out=$(WORD_STANDIN_FAIL="OpenNoRepairDialog=This file could not be found." driver print capture "$doc")
check "open failure: reaches the caller, Word quit" "not opened: This file could not be found. Quit(false)" \
    "$out $(grep '^Quit' "$log")"
out=$(driver print capture 'C:\Documents\missing.docx')
check "missing file: Word's own error" \
    "not opened: Sorry, we couldn't find your file. Was it moved, renamed, or deleted?"$'\r''(C:\Documents\missing.docx)' "$out"

# Questions at open that nobody would see: a password, a repair, links. The
# first two fail at once; links are not updated, so nothing asks; the user's
# option is given back.
out=$(timeout 60 wine "$build/contract_driver.exe" print capture 'C:\Documents\protected.docx' 2>/dev/null || echo "hung")
check "protected document: fails, no hang" "not opened: The password is incorrect. Word cannot open the document." "$out"
out=$(timeout 60 wine "$build/contract_driver.exe" print capture 'C:\Documents\damaged.docx' 2>/dev/null || echo "hung")
check "repair: a damaged document is reported, no repair question, no kill" \
    "not opened: The file damaged.docx cannot be opened because there are problems with the contents." "$out"
: >"$log"
out=$(driver print capture 'C:\Documents\links.docx')
check "links: no question, printed, the option given back" "printed no UpdateLinksAtOpen=true" \
    "$out $(grep -q '^dialog' "$log" && echo yes || echo no) $(grep '^released' "$log" | grep -o 'UpdateLinksAtOpen=[a-z]*')"
: >"$log"
out=$(WORD_STANDIN_OPTIONS=UpdateFieldsAtPrint=1 driver print capture 'C:\Documents\fillin.docx')
check "FILLIN field: the user's field updates off for the print, no question, given back" \
    "printed no UpdateFieldsAtPrint=true" \
    "$out $(grep -q '^dialog' "$log" && echo yes || echo no) $(grep '^released' "$log" | grep -o 'UpdateFieldsAtPrint=[a-z]*')"

# A dialog nobody sees: found in seconds (a dialog of Word's, Word idle),
# Word's process ended, the caller's window served all the while, and the
# next document prints.
started=$SECONDS
out=$(timeout 120 wine "$build/contract_driver.exe" print capture \
      'C:\Documents\dialog.docx' "$doc" 2>"$work/driver.err" || echo "hung")
check "dialog: reported within 15 s, the next document printed" \
    "not opened: Word is waiting for an answer in a dialog that nobody can see. Word was stopped.
printed yes" "$out $([ $((SECONDS - started)) -lt 15 ] && echo yes || echo "no ($((SECONDS - started)) s)")"
served=$(head -n 1 "$work/driver.err" | sed -n 's/^window served \([0-9]*\) times.*/\1/p')
check "dialog: the window was served while Word waited" "yes" \
    "$([ "${served:-0}" -ge 100 ] && echo yes || echo "no (${served:-0})")"
check "dialog: no Word is left" "0" "$(words_become 0)"

# A long spool (Word working, past the limit of an ordinary call) prints; a
# slow quit prints and is not reported as failed, within its limit or past
# it; a quit that asks to save Normal.dotm is found and the document is
# printed with a warning.
out=$(CONTRACT_CALL_LIMIT=3 CONTRACT_IDLE_LIMIT=3 WORD_STANDIN_SPOOL=8 driver print capture "$doc")
check "long spool: printed past the call limit, Word working" "printed" "$out"
out=$(WORD_STANDIN_SLOW_QUIT=5 driver print capture "$doc")
check "slow quit: within its limit, printed" "printed" "$out"
out=$(CONTRACT_QUIT_LIMIT=3 WORD_STANDIN_SLOW_QUIT=20 driver print capture "$doc")
check "slow quit: past its limit, printed with a warning, not failed" \
    "printed (warning: Word did not answer within 3 seconds. Word was stopped.) 0" "$out $(words_become 0)"
out=$(WORD_STANDIN_QUIT_PROMPT=1 driver print capture "$doc")
check "quit that asks: printed with a warning, Word stopped" \
    "printed (warning: Word is waiting for an answer in a dialog that nobody can see. Word was stopped.) 0" \
    "$out $(words_become 0)"

# A user takes our instance over (Microsoft KB Q188546): our document alone
# is closed, Word's settings are given back, and the user's Word runs on;
# with a dialog of the user's open, nothing more is asked and it is left.
: >"$log"
out=$(WORD_STANDIN_TAKEOVER=PrintOut driver print capture "$doc")
check "the user's Word taken over mid-run: ours printed, alerts and options given back, alive" \
    "printed Close(SaveChanges=0) $given_back 1" \
    "$out $(grep '^Close' "$log") $(grep '^released' "$log") $(words_become 1)"
end_words
out=$(CONTRACT_QUIT_LIMIT=40 WORD_STANDIN_TAKEOVER="Count,dialog" driver print capture "$doc")
check "the user's Word with a dialog open: printed with a warning, alive" \
    "printed (warning: Word is in use on this computer and did not answer. Someone is using this Word, so it was left open.) 1" \
    "$out $(words_become 1)"
end_words

# A macro: the control shows that it runs when Word's defaults stand, and
# that Word's own ActivePrinter makes the printer the Windows default;
# printing the document runs neither.
export WORD_STANDIN_MARKER="$work/macro-ran"
rm -f "$WORD_STANDIN_MARKER"
driver open-unguarded 'C:\Documents\macro.docx' "Control Printer" >/dev/null
check "control: the macro runs with Word's defaults" "yes" "$([ -e "$WORD_STANDIN_MARKER" ] && echo yes || echo no)"
check "control: ActivePrinter changes the Windows default" "Control Printer,winspool,Ne00:" "$(default_printer)"
wine reg add "$device_key" /v Device /d "$users_default" /f >/dev/null 2>&1
rm -f "$WORD_STANDIN_MARKER"
out=$(driver print capture 'C:\Documents\macro.docx')
check "macro document: printed, its macro never ran" "printed no" \
    "$out $([ -e "$WORD_STANDIN_MARKER" ] && echo yes || echo no)"

# The start-up check quits without an argument.
: >"$log"
out=$(driver check)
check "start-up check: an instance starts, quit without an argument" "installed Quit()" \
    "$out $(grep '^Quit' "$log")"

# Start failures say what happened: a Word that shows a licence question
# before it answers is left for its user to answer. (The check's Word may
# still be on its way out: none is left first.)
end_words
out=$(CONTRACT_START_LIMIT=5 WORD_STANDIN_START=licence driver check)
check "start: a licence question is named, and left on screen" \
    "not installed: Word shows a window of its own before it answers (a licence, sign-in or first-run question). Start Word yourself, answer it, close Word, and print again. 1" \
    "$out $(words_become 1)"
end_words

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

# Only a Word process certainly ours is ever ended. Quit failing (after the
# job is spooled: a warning), and the user starting Word at that very
# moment: the process that shows our document is ours and ended, the user's
# runs on. Without a window to tell, two new processes leave it unknown:
# nothing is ended.
end_words
out=$(WORD_STANDIN_SPAWN="1=$(winepath -w "$build/WINWORD.exe")" WORD_STANDIN_FAIL="Quit=Word is busy." \
      driver print capture "$doc")
check "claim: ours told by its window, ended; the user's runs on" \
    "printed (warning: Word is busy. Word was stopped.) 1" "$out $(words_become 1)"
end_words
out=$(WORD_STANDIN_SPAWN="1=$(winepath -w "$build/WINWORD.exe")" \
      WORD_STANDIN_FAIL="ActiveWindow=No window.|Quit=Word is busy." driver print capture "$doc")
check "claim: two new processes and no window, none is ended" \
    "printed (warning: Word is busy. Word may still be running.) 1" "$out $(words_become 1)"
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
