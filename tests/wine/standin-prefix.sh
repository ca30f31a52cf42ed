# Sourced by the Wine tests: a private Wine prefix in a scratch folder ($work,
# removed at exit) with the stand-in "Word.Application" of STANDIN_DLL
# registered (register_standin / unregister_standin).
#   . standin-prefix.sh STANDIN_DLL
standin_dll=$1
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
    wine reg add "HKCR\\CLSID\\$clsid\\InprocServer32" /ve /d "$(winepath -w "$standin_dll")" /f >/dev/null 2>&1
    wine reg add "HKCR\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel /d Apartment /f >/dev/null 2>&1
    wine reg add "HKCR\\Word.Application\\CLSID" /ve /d "$clsid" /f >/dev/null 2>&1
}
unregister_standin() {
    wine reg delete "HKCR\\Word.Application" /f >/dev/null 2>&1
}
register_standin
