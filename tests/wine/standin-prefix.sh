# Sourced by the Wine tests: a private Wine prefix in a scratch folder ($work,
# removed at exit) with the stand-in "Word.Application" of STANDIN_EXE
# (WINWORD.exe) registered as its local server (register_standin /
# unregister_standin). Only this prefix's processes are ever looked at or
# ended: wine_processes lists them, by the name Windows gives them.
#   . standin-prefix.sh STANDIN_EXE
standin_exe=$1
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
wineserver -w

clsid="{000209FF-0000-0000-C000-000000000046}"
register_standin() {
    wine reg add "HKCR\\CLSID\\$clsid\\LocalServer32" /ve /d "$(winepath -w "$standin_exe")" /f >/dev/null 2>&1
    wine reg add "HKCR\\Word.Application\\CLSID" /ve /d "$clsid" /f >/dev/null 2>&1
}
unregister_standin() {
    wine reg delete "HKCR\\Word.Application" /f >/dev/null 2>&1
}
# The processes of this prefix whose image is NAME (case as Windows lists it
# does not matter), one line each: tasklist runs inside the prefix, so
# another Wine on the machine is never seen.
wine_processes() { # wine_processes NAME
    wine tasklist 2>/dev/null | tr -d '\r' | awk -v name="$1" 'tolower($1) == tolower(name)'
}
register_standin
