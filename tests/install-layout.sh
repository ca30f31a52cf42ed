#!/bin/bash
# Installs the build into a temporary prefix and checks that everything the
# installed program looks for is where it looks: the data folder it finds
# from its own location holds the samples and the drag pointer.
set -euo pipefail
build=${1:?usage: install-layout.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail=0
for f in bin/marrowlake share/marrowlake/drag.ico share/applications/marrowlake.desktop \
         share/icons/hicolor/48x48/apps/marrowlake.png; do
    [ -e "$prefix/$f" ] || { echo "missing: $f"; fail=1; }
done
[ -d "$prefix/share/marrowlake/Video" ] || { echo "missing: share/marrowlake/Video"; fail=1; }
samples=$(find "$prefix/share/marrowlake/Samples" -type f | wc -l)
[ "$samples" -eq 3 ] || { echo "expected 3 samples, found $samples"; fail=1; }
grep -q '^Exec=marrowlake %F$' "$prefix/share/applications/marrowlake.desktop" || { echo "bad .desktop"; fail=1; }
# The installed program finds its own libraries.
if ldd "$prefix/bin/marrowlake" | grep -q 'not found'; then
    echo "unresolved libraries:"; ldd "$prefix/bin/marrowlake" | grep 'not found'; fail=1
fi
[ $fail -eq 0 ] && echo "installed layout complete ($samples samples)"
exit $fail
