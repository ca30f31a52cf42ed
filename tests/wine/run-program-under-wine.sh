#!/bin/bash
# The whole program as Windows users get it (./dev package-windows builds the
# installer), under Wine on a virtual display with the stand-in
# "Word.Application" registered: installed silently with msiexec (files, Start
# menu entry, installed-apps entry, "Open with"), the installed program is a
# windowed one whose console companion prints a sample through the stand-in
# from cmd (the lines and the exit status checked, and the call log: macros
# off and alerts off before Open); its window starts with the sample files, a
# second start hands a path to it, it stores its settings where Windows
# users' settings live (read back with wine reg query), is closed and leaves
# nothing running; uninstalled silently, it leaves nothing of its own behind
# but the user's settings. A screenshot of the window is kept with the test
# artefacts.
#   run-program-under-wine.sh BUILD_DIR QT_MINGW_DIR GRAB_SCREEN
# Run through with-private-cups.sh: Wine takes its printers from CUPS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: run-program-under-wine.sh BUILD_DIR QT_MINGW_DIR GRAB_SCREEN}
qt=${2:-}
grab=${3:?usage: run-program-under-wine.sh BUILD_DIR QT_MINGW_DIR GRAB_SCREEN}
if [ -z "$qt" ]; then
    echo "SKIP: no Qt for Windows (MARROWLAKE_QT_MINGW is not set): the whole program was not run under Wine"
    exit 77 # CTest shows it as skipped
fi
msi=$(ls "$build"/Marrowlake-*-x64.msi 2>/dev/null | head -n 1)
if [ -z "$msi" ]; then
    echo "FAIL: the installer is missing; ./dev package-windows builds it"
    exit 1
fi
standin="$build/wine-program"
cmake --no-warn-unused-cli -S "$here" -B "$standin" -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64.cmake" >/dev/null
cmake --build "$standin" -j2 --target wordstandin contract_driver >/dev/null

. "$here/standin-prefix.sh" "$standin/WINWORD.exe"
export WORD_STANDIN_LOG="$work/calls.log"

passed=0 failed=0
check() { # check NAME CONDITION...
    local what=$1; shift
    if "$@"; then echo "PASS: windows program: $what"; passed=$((passed + 1))
    else echo "FAIL: windows program: $what"; failed=$((failed + 1)); fi
}
settings='HKCU\Software\VB and VBA Program Settings\Harrowick\Marrowlake'
quietly() { # quietly /i|/x MSI: msiexec as an administrator deploys; its status
    local status=0
    wine msiexec "$1" "$(winepath -w "$2")" /qn /l*v "$(winepath -w "$work/msiexec.log")" >/dev/null 2>&1 || status=$?
    # This prefix's processes end with it; one that does not is this
    # prefix's own to end.
    timeout 120 wineserver -w || { echo "the prefix did not settle after msiexec $1"; wineserver -k; }
    # What went wrong, said where the test's output is read.
    [ "$status" -eq 0 ] || { echo "msiexec $1 ended with $status:"; grep -a -i -E 'return value 3|error' "$work/msiexec.log" | head -n 20; }
    return "$status"
}

# Installed as an administrator deploys it: silently.
status=0
quietly /i "$msi" || status=$?
check "the installer installs silently" [ "$status" -eq 0 ]
installed="$WINEPREFIX/drive_c/Program Files/Marrowlake"
check "into Program Files\\Marrowlake, with the console companion, Qt and the samples" \
    bash -c "cd '$installed' && [ -f marrowlake.exe ] && [ -f marrowlake.com ] && [ -f Qt6Network.dll ] && [ -f platforms/qwindows.dll ] && [ -d Video ] && [ -f 'Samples/Sample 1 - Welcome.docx' ]"
check "a Start menu entry, with no working folder fixed at install time" \
    bash -c "msiinfo export '$msi' Shortcut | tr -d '\r' | grep 'StartMenuShortcut' | grep -vq 'PersonalFolder' && find '$WINEPREFIX/drive_c' -name Marrowlake.lnk | grep -q ."
check "the program folder goes on the system PATH, and off it when removed" \
    bash -c "msiinfo export '$msi' Environment | tr -d '\r' | grep -q '=-[*]PATH.*INSTALLDIR'"
check "an entry under installed apps with version and publisher" \
    bash -c "wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' >'$work/uninstall.txt' && grep -q 'DisplayName.*REG_SZ.*Marrowlake' '$work/uninstall.txt' && grep -q 'Publisher.*REG_SZ.*Harrowick' '$work/uninstall.txt' && grep -q 'DisplayVersion.*REG_SZ.*[0-9]' '$work/uninstall.txt'"
check "the installed-apps entry names the install folder and its size" \
    bash -c "grep -q 'InstallLocation.*REG_SZ.*Program Files.Marrowlake' '$work/uninstall.txt' && grep -q ' Size.*REG_SZ.*[1-9]' '$work/uninstall.txt'"
check "Open with Marrowlake for Word documents, no default taken" \
    bash -c "wine reg query 'HKLM\Software\Classes\Applications\marrowlake.exe\SupportedTypes' 2>/dev/null | tr -d '\r' | grep -q '[.]docm' && wine reg query 'HKLM\Software\Classes\.docx\OpenWithProgids' 2>/dev/null | grep -q Marrowlake.Document && ! wine reg query 'HKLM\Software\Classes\.docx' /ve 2>/dev/null | tr -d '\r' | grep -q Marrowlake"
# From any folder in a fresh cmd: the program is on PATH.
printf '@marrowlake --help\r\n' >"$work/anywhere.bat"
(cd "$work" && wine cmd /c anywhere.bat >"$work/anywhere.txt" 2>&1) || true
check "marrowlake --help in a fresh cmd, anywhere" grep -q 'printed by' "$work/anywhere.txt"
# A newer version replaces the older one: one entry, the newer version.
newer="$work/Marrowlake-newer-x64.msi"
(cd "$build/windows/installer" && wixl -a x64 -D Version=99.0.0 -D SourceDir=Marrowlake \
    -D Icon=marrowlake.ico -D Win64=yes -D Size=1 -o "$newer" marrowlake.wxs files.wxs &&
    msibuild "$newer" -i "$here/../../data/windows/Environment.idt" \
        -i "$here/../../data/windows/CustomAction.idt") >/dev/null 2>&1
quietly /i "$newer" || true
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' >"$work/uninstall.txt"
check "a newer version replaces the older one" \
    bash -c "[ \$(grep -c 'DisplayName.*REG_SZ.*Marrowlake' '$work/uninstall.txt') -eq 1 ] && grep -q 'DisplayVersion.*REG_SZ.*99[.]0[.]0' '$work/uninstall.txt' && [ -f '$installed/marrowlake.exe' ]"
msi=$newer
# (Wine's installer leaves an empty entry where the old one was removed,
# which Wine's cmd, unlike Windows', stops at: the registry is read.)
check "after the upgrade the program folder is on PATH once" \
    [ "$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH 2>/dev/null | tr -d '\r' | grep -o 'Program Files\\Marrowlake' | wc -l)" -eq 1 ]

# The program as the Start menu entry starts it.
target=$(msiinfo export "$msi" Shortcut | tr -d '\r' | awk -F'\t' '$1 == "StartMenuShortcut" {print $5}')
program="$installed/${target#\[INSTALLDIR\]}"
folder=$(winepath -w "$(dirname "$program")")
sample="$folder\\Samples\\Sample 1 - Welcome.docx"

# A windowed program (no console window beside it), with a console
# companion that cmd finds first, both with their manifest and an icon of
# every size.
check "marrowlake.exe is a windowed program" \
    bash -c "x86_64-w64-mingw32-objdump -p '$program' | grep -q 'Subsystem.*(Windows GUI)'"
check "the program carries its manifest (resource type 24)" \
    bash -c "x86_64-w64-mingw32-objdump -p '$program' | grep -q 'ID: 0x000018'"
check "the icon holds 16, 24, 32, 48 and 256 pixel images" \
    [ "$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(); print(*[d[6+16*i] or 256 for i in range(struct.unpack("<H",d[4:6])[0])])' "$here/../../data/icons/marrowlake.ico")" = "16 24 32 48 256" ]

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
set +e
in_cmd "marrowlake -h 2>&1" >"$work/usage.txt"
status=$?
set -e
check "a mistyped option in window mode: status 2 and the complaint in the console" \
    bash -c "[ $status -eq 2 ] && tr -d '\r' <'$work/usage.txt' | grep -q '^marrowlake: '"
check "/? shows the help, telling of Word" bash -c "grep -q 'printed by' <<<\"$(in_cmd 'marrowlake /?' | tr -d '\r')\" && grep -q 'Microsoft Word' <<<\"$(in_cmd 'marrowlake /?' | tr -d '\r')\""
# A drive's root, as a real path: one separator after the colon, backslashes
# in what the user reads.
mkdir -p "$work/drive-d"
cp "$installed/Samples/Sample 1 - Welcome.docx" "$work/drive-d/root.docx"
ln -sfn "$work/drive-d" "$WINEPREFIX/dosdevices/d:"
out=$(in_cmd 'marrowlake --print --printer capture --pause 0 D:\' | tr -d '\r')
check "a drive's root gives D:\\root.docx" [ "$out" = 'printed D:\root.docx
1 printed, 0 not printed' ]
# A name with a non-ASCII letter, found by a wildcard as Windows programs
# expand it, and written to a file as UTF-8.
mkdir -p "$work/drive-d/accents"
cp "$installed/Samples/Sample 1 - Welcome.docx" "$work/drive-d/accents/Café.docx"
in_cmd 'marrowlake --print --printer capture --pause 0 D:\accents\Caf*.docx >D:\out.txt' >/dev/null
check "a wildcard expanded, a non-ASCII name in redirected output (no console: UTF-8)" \
    [ "$(tr -d '\r' <"$work/drive-d/out.txt")" = 'printed D:\accents\Café.docx
1 printed, 0 not printed' ]
# In a console (a terminal) whose code page is 850, output redirected to a
# file is in that code page, as cmd's own commands write it; a list file
# (--history --paths) stays UTF-8.
printf '@chcp 850 >nul\r\n@marrowlake --print --printer capture --pause 0 D:\\accents\\Caf*.docx >D:\\oem.txt\r\n@marrowlake --history 1 --paths >D:\\list.txt\r\n' >"$work/oem.bat"
(cd "$(dirname "$program")" && script -qefc "wine cmd /c '$(winepath -w "$work/oem.bat")'" /dev/null >/dev/null 2>&1 </dev/null) || true
check "in a console with code page 850, redirected output in that code page, list files UTF-8" \
    bash -c "[ \"\$(iconv -f CP850 -t UTF-8 <'$work/drive-d/oem.txt' | tr -d '\r' | head -n 1)\" = 'printed D:\accents\Café.docx' ] && grep -q 'Café' '$work/drive-d/list.txt'"
expected="AutomationSecurity=3
DisplayAlerts=0
UpdateLinksAtOpen=false
UpdateFieldsAtPrint=false
OpenNoRepairDialog($sample, ConfirmConversions=false, ReadOnly=true, AddToRecentFiles=false, PasswordDocument=<given>, WritePasswordDocument=<given>, Revert=false, Visible=false, NoEncodingDialog=true)
ActiveWindow
Hwnd
WordBasic
FilePrintSetup(Printer=capture, DoNotSetAsSysDefault=1)
PrintOut(Collate=true, Background=false, FileName=$sample)"
check "Word gets macros, alerts and questions off before Open, then the print" \
    [ "$(grep -m 1 -A 9 '^AutomationSecurity=3' "$WORD_STANDIN_LOG")" = "$expected" ]
check "Word is quit at the end" [ "$(grep -v '^released' "$WORD_STANDIN_LOG" | tail -n 1)" = "Quit(false)" ]

# What reached the scheduler: a job a document, in list order, on the
# printer chosen, titled with the document's name.
words() { wine "$standin/contract_driver.exe" processes WINWORD.exe 2>/dev/null | tr -d '\r'; }
words_become() { # words_become N: waits (10 s at most) for there to be N Words
    for _ in $(seq 100); do [ "$(words)" = "$1" ] && break; sleep 0.1; done
    words
}
mkdir -p "$work/drive-d/order"
for name in c-first a-second b-third; do
    cp "$installed/Samples/Sample 1 - Welcome.docx" "$work/drive-d/order/$name.docx"
done
before=$(ls "$CAPTURE_ROOT/capture" | wc -l)
in_cmd 'marrowlake --print --printer capture --pause 0 D:\order\c-first.docx D:\order\a-second.docx D:\order\b-third.docx' >/dev/null
check "the jobs reach the queue in list order, titled with the documents' names" \
    [ "$(ls "$CAPTURE_ROOT/capture" | sort | tail -n +$((before + 1)) | sed 's/^[0-9]*-//' | tr '\n' ' ')" = "c-first.docx a-second.docx b-third.docx " ]

# Interrupted with Ctrl+C, typed in a terminal (script gives the console a
# pseudo-terminal), while a document is sent (Word spooling it, the
# processor busy), after a user took the first document's Word over: the
# job is let arrive, the run ends with 130, no Word of ours is left in the
# prefix, and the user's Word runs on. (The terminal's end would take the
# prefix's processes with it: Word is counted before. The ^C reaches the
# terminal's shell too: it traps it, or a dash would end before it wrote
# the status.)
: >"$WORD_STANDIN_LOG"
rm -f "$work/typed" "$work/counted"
type_ctrl_c() { # ^C once Word has the second document; then until counted
    for _ in $(seq 600); do [ "$(grep -c '^PrintOut(' "$WORD_STANDIN_LOG")" -ge 2 ] && break; sleep 0.1; done
    printf '\003'
    for _ in $(seq 1200); do [ -e "$work/counted" ] && break; sleep 0.1; done
}
type_ctrl_c | (cd "$(dirname "$program")" &&
    WORD_STANDIN_SPOOL=4 WORD_STANDIN_TAKEOVER=PrintOut WORD_STANDIN_TAKEOVER_ONCE="$work/taken" \
    script -qefc "trap : INT; wine marrowlake.com --print --printer capture --pause 0 'D:\\order\\c-first.docx' 'D:\\order\\a-second.docx' 'D:\\order\\b-third.docx'; echo \$? >'$work/typed'; while [ ! -e '$work/counted' ]; do sleep 0.1; done" \
    "$work/interrupted.out" >/dev/null 2>&1) &
typing=$!
for _ in $(seq 1200); do [ -s "$work/typed" ] && break; sleep 0.1; done
left=$(words_become 1)
touch "$work/counted"
wait "$typing" || true
tr -d '\r' <"$work/interrupted.out" | grep -a -E 'printed|failed|interrupted' | sed 's/^/  /' || true
check "interrupted: Ctrl+C lets the job in hand arrive, status 130, what was printed said" \
    bash -c "[ \"\$(cat '$work/typed')\" = 130 ] && tr -d '\r' <'$work/interrupted.out' | grep -a -q 'interrupted: 2 printed, 0 not printed'"
check "interrupted: no Word left but the user's Word, alive" [ "$left" = 1 ]
wine taskkill /F /IM WINWORD.exe >/dev/null 2>&1 || true
words_become 0 >/dev/null

# Ending the console companion (Task Manager, a scheduler's time-out) ends
# the program it started: a job object closes with it.
programs() { wine "$standin/contract_driver.exe" processes marrowlake.exe 2>/dev/null | tr -d '\r'; }
: >"$WORD_STANDIN_LOG"
printf '@marrowlake --print --printer capture --pause 60 D:\\order\\c-first.docx D:\\order\\a-second.docx\r\n' >"$work/long.bat"
(cd "$(dirname "$program")" && exec wine cmd /c "$(winepath -w "$work/long.bat")" >/dev/null 2>&1) &
long=$!
# The first document printed: the program waits its pause.
for _ in $(seq 600); do grep -qs '^Quit' "$WORD_STANDIN_LOG" && break; sleep 0.1; done
wine taskkill /F /IM marrowlake.com >/dev/null 2>&1 || true
gone=no
for _ in $(seq 100); do [ "$(programs)" = 0 ] && { gone=yes; break; }; sleep 0.1; done
check "ending marrowlake.com ends marrowlake.exe with it" [ "$gone" = yes ]
wait "$long" 2>/dev/null || true

# A print station: marrowlake --watch through the stand-in Word, the folder
# written to from outside Wine as a share would be. Each drop prints once,
# from a private copy; a rename inside the folder prints nothing; --done
# takes the printed ones, the same content dropped twice going there twice.
station="$WINEPREFIX/drive_c/station"
mkdir -p "$station/in"
: >"$WORD_STANDIN_LOG"
start_station() { # start_station OPTION...: until it says it is watching
    printf '@marrowlake --watch C:\\station\\in --printer capture --pause 0 %s\r\n' "$*" >"$work/station.bat"
    (cd "$(dirname "$program")" && exec wine cmd /c "$(winepath -w "$work/station.bat")" \
        >"$work/station.out" 2>"$work/station.err") &
    station_pid=$!
    for _ in $(seq 600); do grep -qs watching "$work/station.err" && return; sleep 0.1; done
}
stop_station() {
    wine taskkill /F /IM marrowlake.exe >/dev/null 2>&1 || true
    wait "$station_pid" 2>/dev/null || true
}
printed() { tr -d '\r' <"$work/station.out" | grep -c '^printed' || true; }
await_printed() { # await_printed N
    for _ in $(seq 1200); do [ "$(printed)" -ge "$1" ] && return; sleep 0.1; done
}
start_station
for name in one two three; do cp "$installed/Samples/Sample 1 - Welcome.docx" "$station/in/$name.docx"; done
await_printed 3
check "the station prints a burst of drops, once each, in order" \
    [ "$(tr -d '\r' <"$work/station.out" | grep '^printed')" = 'printed C:\station\in\one.docx
printed C:\station\in\two.docx
printed C:\station\in\three.docx' ]
check "Word opens the station's private copy, never the dropped file" \
    [ "$(grep '^OpenNoRepairDialog(' "$WORD_STANDIN_LOG" | grep -c 'marrowlake-spool')" = 3 ]
mkdir -p "$station/in/sub"
mv "$station/in/one.docx" "$station/in/sub/one-renamed.docx"
mv "$station/in/two.docx" "$station/in/two-renamed.docx"
cp "$installed/Samples/Sample 1 - Welcome.docx" "$station/in/marker.docx"
await_printed 4
check "a rename inside the folder prints nothing; the next drop prints" \
    [ "$(printed) $(tr -d '\r' <"$work/station.out" | grep '^printed' | tail -n 1)" = '4 printed C:\station\in\marker.docx' ]
stop_station
start_station '--done C:\station\done'
cp "$installed/Samples/Sample 1 - Welcome.docx" "$station/in/form.docx"
for _ in $(seq 600); do [ -e "$station/done/form.docx" ] && break; sleep 0.1; done
cp "$installed/Samples/Sample 1 - Welcome.docx" "$station/in/form.docx"
for _ in $(seq 600); do [ -e "$station/done/form (2).docx" ] && break; sleep 0.1; done
check "with --done: the same form dropped twice prints twice, each moved there" \
    bash -c "[ -e '$station/done/form.docx' ] && [ -e '$station/done/form (2).docx' ] && [ ! -e '$station/in/form.docx' ]"
stop_station

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
    [ "$(grep -v '^released' "$WORD_STANDIN_LOG")" = "CreateInstance
Documents
Count
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
# Open with on five files at once, no window running: one window takes
# all five, and every start ends with status 0.
user=$(wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r\n')
pipe="marrowlake-$(printf '%s/1' "$user" | sha1sum | cut -c1-24)"
pids=()
for name in a b c d e; do
    cp "$installed/Samples/Sample 1 - Welcome.docx" "$work/drive-d/accents/$name.docx"
    wine "$program" "D:\\accents\\$name.docx" >/dev/null 2>&1 &
    pids+=($!)
done
ended=0 statuses=0 window=""
for pid in "${pids[@]}"; do
    for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        window="$window $pid"
    else
        ended=$((ended + 1))
        wait "$pid" || statuses=$((statuses + 1))
    fi
done
check "five starts at once: four hand over with status 0, one window runs" \
    [ "$ended $statuses $(echo $window | wc -w) $(xwininfo -root -tree | grep -c '"Marrowlake"')" = "4 0 1 1" ]
rows=""
for _ in $(seq 100); do
    rows=$(wine "$standin/contract_driver.exe" rows "$pipe" 2>/dev/null | tr -d '\r\n')
    [ "$rows" = 5 ] && break
    sleep 0.1
done
check "five starts at once: the window has the five rows" [ "$rows" = 5 ]
# The window listens before its start-up check has run: closed in the middle
# of that check, the stand-in is left waiting to answer a program that is
# gone (Wine). Closed once the check's Word has quit, as a user would.
for _ in $(seq 300); do
    [ "$(wine "$standin/contract_driver.exe" processes WINWORD.exe 2>/dev/null | tr -d '\r')" = 0 ] && break
    sleep 0.1
done
wine taskkill /IM marrowlake.exe >/dev/null 2>&1 || true
for pid in $window; do
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
done

check "nothing of the program is left running" \
    [ "$(wine "$standin/contract_driver.exe" processes marrowlake.exe 2>/dev/null | tr -d '\r')" = 0 ]

# The window started from cmd: the companion lets cmd go once the program
# says (on an event named for both) that it shows its window, and the
# window outlives the companion's job.
printf '@marrowlake D:\\root.docx\r\n' >"$work/window.bat"
released=no
(cd "$(dirname "$program")" && timeout 120 wine cmd /c "$(winepath -w "$work/window.bat")" >/dev/null 2>&1) && released=yes
# (a job ended with the companion would end the window within moments)
for _ in $(seq 20); do [ "$(programs)" = 1 ] || break; sleep 0.1; done
check "from cmd, the window lets the console go and runs on" \
    [ "$released $(programs)" = "yes 1" ]
wine taskkill /IM marrowlake.exe >/dev/null 2>&1 || true
for _ in $(seq 100); do [ "$(programs)" = 0 ] && break; sleep 0.1; done

# Removed silently: nothing of ours is left in Program Files or the machine's
# registry; the user's own settings stay, as Windows programs leave them.
status=0
quietly /x "$msi" || status=$?
check "the installer uninstalls silently" [ "$status" -eq 0 ]
check "nothing is left in Program Files" [ ! -e "$installed" ]
check "nothing is left in the machine's registry" \
    bash -c "! wine reg query 'HKLM\Software\Classes\Applications\marrowlake.exe' >/dev/null 2>&1 && ! wine reg query 'HKLM\Software\Classes\Marrowlake.Document' >/dev/null 2>&1 && ! wine reg query 'HKLM\Software\Harrowick' >/dev/null 2>&1 && ! wine reg query 'HKLM\Software\Classes\.docx\OpenWithProgids' /v Marrowlake.Document >/dev/null 2>&1"
check "the user's settings stay" bash -c "wine reg query '$settings' >/dev/null 2>&1"
echo "screenshot: $shot"
echo "windows program: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
