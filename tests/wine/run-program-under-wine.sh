#!/bin/bash
# The whole program, cross-built for Windows (./dev package-windows), under
# Wine on a virtual display with the stand-in "Word.Application" registered:
# it prints a sample through the stand-in from its command line (the call log
# checked, macros off and alerts off before Open), starts its window with the
# sample files, stores its settings where Windows users' settings live (read
# back with wine reg query), is closed, and leaves nothing running. A
# screenshot of the window is kept with the test artefacts.
#   run-program-under-wine.sh BUILD_DIR QT_MINGW_DIR GRAB_SCREEN
# Run through with-private-cups.sh: Wine takes its printers from CUPS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: run-program-under-wine.sh BUILD_DIR QT_MINGW_DIR GRAB_SCREEN}
qt=${2:-}
grab=${3:?usage: run-program-under-wine.sh BUILD_DIR QT_MINGW_DIR GRAB_SCREEN}
if [ -z "$qt" ]; then
    echo "SKIP: no Qt for Windows (MARROWLAKE_QT_MINGW is not set): the whole program was not run under Wine"
    exit 0
fi
program="$build/windows/Marrowlake/marrowlake.exe"
if [ ! -f "$program" ]; then
    echo "FAIL: $program is missing; ./dev package-windows lays it out"
    exit 1
fi
standin="$build/wine-program"
cmake --no-warn-unused-cli -S "$here" -B "$standin" -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64.cmake" >/dev/null
cmake --build "$standin" -j2 --target wordstandin >/dev/null

. "$here/standin-prefix.sh" "$standin/wordstandin.dll"
export WORD_STANDIN_LOG="$work/calls.log"

passed=0 failed=0
check() { # check NAME CONDITION...
    local what=$1; shift
    if "$@"; then echo "PASS: windows program: $what"; passed=$((passed + 1))
    else echo "FAIL: windows program: $what"; failed=$((failed + 1)); fi
}
settings='HKCU\Software\VB and VBA Program Settings\Harrowick\Marrowlake'
folder=$(winepath -w "$(dirname "$program")")
sample="$folder\\Samples\\Sample 1 - Welcome.docx"

# Printing from the command line, through the stand-in Word.
: >"$WORD_STANDIN_LOG"
out=$(wine "$program" --print --printer capture --pause 0 "$sample" 2>/dev/null | tr -d '\r')
check "--print prints the sample through Word" [ "$out" = "printed $sample
1 printed, 0 not printed" ]
expected="CreateInstance
Documents
AutomationSecurity=3
DisplayAlerts=0
Open($sample, ConfirmConversions=false, ReadOnly=true, AddToRecentFiles=false, PasswordDocument=<given>, WritePasswordDocument=<given>, Revert=false, Visible=false, NoEncodingDialog=true)
ActivePrinter=capture
PrintOut(Collate=true, Background=false, fileName=$sample)"
check "Word gets macros off and alerts off before Open, then the print" \
    [ "$(head -n 7 "$WORD_STANDIN_LOG")" = "$expected" ]
check "Word is quit at the end" [ "$(tail -n 1 "$WORD_STANDIN_LOG")" = "Quit(false)" ]

# The window, with the sample files, on the virtual display.
: >"$WORD_STANDIN_LOG"
wine "$program" "$folder\\Samples\\Sample 1 - Welcome.docx" "$folder\\Samples\\Sample 2 - Options.odt" \
    "$folder\\Samples\\Sample 3 - Folders.doc" >/dev/null 2>&1 &
started=$!
for _ in $(seq 300); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Marrowlake"' && break
    sleep 0.1
done
check "the window opens" bash -c "xwininfo -root -tree | grep -q '\"Marrowlake\"'"
sleep 2 # drawn and settled
mkdir -p "$build/tests/artifacts"
shot="$build/tests/artifacts/windows-main-window.png"
check "a screenshot of the window" "$grab" "$shot"
check "the start-up check started Word and quit it" \
    [ "$(cat "$WORD_STANDIN_LOG")" = "CreateInstance
Quit()" ]
check "the choices are stored where Windows users' settings live" \
    bash -c "wine reg query '$settings' 2>/dev/null | tr -d '\r' | grep -q 'Combo2.*REG_SZ.*0'"

# Closed as a user closes it: the placement is stored and nothing is left.
wine taskkill /IM marrowlake.exe >/dev/null 2>&1 || true
for _ in $(seq 100); do kill -0 "$started" 2>/dev/null || break; sleep 0.1; done
check "closing ends the program" bash -c "! kill -0 $started 2>/dev/null"
check "closing stores the placement" \
    bash -c "wine reg query '$settings' 2>/dev/null | tr -d '\r' | grep -q 'Width.*REG_SZ'"
check "nothing of the program is left running" bash -c "! pgrep -f 'marrowlake[.]exe' >/dev/null"
echo "screenshot: $shot"
echo "windows program: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
