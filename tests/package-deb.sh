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
check "folders stay the file manager's" bash -c "! grep -q 'inode/directory' '$root/usr/share/applications/marrowlake.desktop'"
check "lintian finds no error" bash -c "lintian --fail-on error '$deb' >'$work/lintian' 2>&1 || { cat '$work/lintian'; false; }"
check "the office profile is readable by every user" \
    bash -c "[ -z \"\$(find '$root/usr/share/marrowlake/office-profile' ! -perm -o+r -o -type d ! -perm -o+x)\" ]"
check "no log of the building machine is shipped" bash -c "[ -z \"\$(find '$root/usr/share/marrowlake' -name '*.log')\" ]"
# The print station's user unit: systemd accepts an instance of it (its
# program and manual page looked up in the package).
unit="$root/usr/lib/systemd/user/marrowlake-watch@.service"
check "the print station's systemd user unit" test -f "$unit"
mkdir -p "$work/units" "$work/run"
chmod 700 "$work/run"
sed "s|/usr/bin/marrowlake|$root/usr/bin/marrowlake|" "$unit" >"$work/units/marrowlake-watch@srv-print.service"
check "a station that cannot run as asked (status 2) is not restarted, and a share is waited for" \
    bash -c "grep -qx 'RestartPreventExitStatus=2' '$unit' && grep -qx 'RequiresMountsFor=%f' '$unit'"
check "systemd accepts it" bash -c "XDG_RUNTIME_DIR='$work/run' MANPATH='$root/usr/share/man' systemd-analyze verify --user '$work/units/marrowlake-watch@srv-print.service'"
check "the manual page" bash -c "zcat '$root/usr/share/man/man1/marrowlake.1.gz' | grep -q '^.SH EXIT STATUS'"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libreoffice-writer libqt6widgets6 qt6-qpa-plugins libcups2; do
    check "depends on $package" grep -q "$package" <<<"$depends"
done
check "the installed program answers --version" bash -c "'$root/usr/bin/marrowlake' --version | grep -q '^marrowlake '"

# Another user's first start copies the prepared profile instead of setting
# one up (only root can be someone else here).
if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work"
    other="$work/other-user"
    mkdir -p "$other/home" "$other/run"
    chmod 700 "$other/run"
    chown -R 65534:65534 "$other"
    setpriv --reuid=65534 --regid=65534 --clear-groups \
        env -i HOME="$other/home" XDG_RUNTIME_DIR="$other/run" QT_QPA_PLATFORM=offscreen \
        PATH=/usr/bin:/bin "$root/usr/bin/marrowlake" >"$work/other.log" 2>&1 &
    started=$!
    copied="$other/home/.cache/marrowlake/office-profile/user/registrymodifications.xcu"
    for _ in $(seq 600); do [ -f "$copied" ] && break; sleep 0.1; done
    kill "$started" 2>/dev/null || true
    wait "$started" 2>/dev/null || true
    # An office setting a profile up writes a log there; the shipped one has none.
    check "another user's first start copies the prepared profile" \
        bash -c "[ -f '$copied' ] && [ ! -e '$(dirname "$copied")/GraphicsRenderTests.log' ]"
else
    echo "skipped: starting the program as another user needs root"
fi
echo "package: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
