#!/bin/bash
# Builds the Debian package of a build folder with CPack, unpacks it with
# dpkg-deb into a scratch folder and checks what a user would install.
#   package-deb.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: package-deb.sh BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/marrowlake_*.deb)
dpkg-deb -x "$deb" "$work/root"
failures=0 passes=0
check() {
    local what=$1; shift
    if "$@"; then echo "ok: $what"; passes=$((passes + 1)); else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
root="$work/root"
check "the program" test -x "$root/usr/bin/marrowlake"
check "the samples" test -f "$root/usr/share/marrowlake/Samples/Sample 1 - Welcome.docx"
check "the drag pointer" test -f "$root/usr/share/marrowlake/drag.ico"
check "the prepared office profile" test -f "$root/usr/share/marrowlake/office-profile/user/registrymodifications.xcu"
check "the icon in the hicolor theme" test -f "$root/usr/share/icons/hicolor/48x48/apps/marrowlake.png"
check "the desktop file" test -f "$root/usr/share/applications/marrowlake.desktop"
check "the desktop file is valid" desktop-file-validate "$root/usr/share/applications/marrowlake.desktop"
check "the desktop file opens files and folders" grep -qx 'Exec=marrowlake %F' "$root/usr/share/applications/marrowlake.desktop"
check "the manual page" bash -c "zcat '$root/usr/share/man/man1/marrowlake.1.gz' | grep -q '^.SH EXIT STATUS'"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libreoffice-writer libqt6widgets6 qt6-qpa-plugins libcups2; do
    check "depends on $package" grep -q "$package" <<<"$depends"
done
check "the installed program answers --version" bash -c "'$root/usr/bin/marrowlake' --version | grep -q '^marrowlake '"
echo "package: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
