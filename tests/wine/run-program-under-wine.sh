#!/bin/bash
# The whole program, cross-built for Windows (./dev package-windows), under
# Wine on a virtual display with the stand-in "Word.Application" registered:
# it is a windowed program whose console companion prints a sample through
# the stand-in from cmd (the lines and the exit status checked, and the call
# log: macros off and alerts off before Open), starts its window with the
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

# A windowed program (no console window beside it), with a console
# companion that cmd finds first.
check "marrowlake.exe is a windowed program" \
    bash -c "x86_64-w64-mingw32-objdump -p '$program' | grep -q 'Subsystem.*(Windows GUI)'"

# Printing from the command line in cmd, through the stand-in Word: the lines
# in the console, the exit status to cmd.
: >"$WORD_STANDIN_LOG"
# As typed in cmd: a batch file holds the line (Wine would escape the
# quotes of a command line handed to it from here, which cmd does not undo).
in_cmd() { # in_cmd LINE: runs the line in cmd in the program's folder
    printf '@%s\r\n' "$1" >"$work/line.bat"
    (cd "$(dirname "$program")" && wine cmd /c "$(winepath -w "$work/line.bat")" 2>/dev/null)
}
set +e
out=$(in_cmd "marrowlake --print --printer capture --pause 0 \"$sample\"" | tr -d '\r')
status=${PIPESTATUS[0]}
set -e
check "--print prints the sample through Word" [ "$out" = "printed $sample
1 printed, 0 not printed" ]
check "--print's status reaches cmd" [ "$status" -eq 0 ]
set +e
in_cmd "marrowlake --print --printer no-such \"$sample\"" >/dev/null
status=$?
set -e
check "an unknown printer's status 2 reaches cmd" [ "$status" -eq 2 ]
check "/? shows the help, telling of Word" bash -c "grep -q 'printed by' <<<\"$(in_cmd 'marrowlake /?' | tr -d '\r')\" && grep -q 'Microsoft Word' <<<\"$(in_cmd 'marrowlake /?' | tr -d '\r')\""
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
# One window: a second start with a path hands it to the first window and
# ends at once, instead of opening a window of its own.
wine "$program" "$folder\\Samples\\Sample 2 - Options.odt" >/dev/null 2>&1 &
second=$!
for _ in $(seq 200); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
second_status=0
if kill -0 "$second" 2>/dev/null; then
    second_status=running
    kill "$second" 2>/dev/null || true
else
    wait "$second" || second_status=$?
fi
check "a second start hands its path over and ends" [ "$second_status" = 0 ]
check "there is one window" [ "$(xwininfo -root -tree | grep -c '"Marrowlake"')" -eq 1 ]
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
