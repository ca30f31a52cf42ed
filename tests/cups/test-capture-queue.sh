#!/bin/bash
# The private scheduler's capture queue receives jobs in order, byte for byte,
# and the scheduler leaves nothing behind.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'first job\n' >"$work/a.txt"
printf 'second job\n' >"$work/b.txt"

"$here/with-private-cups.sh" --queues "capture" bash -c '
    set -euo pipefail
    echo "$CUPS_SERVER" >"'"$work"'/server"
    lp -d capture -t alpha "'"$work"'/a.txt" >/dev/null
    lp -d capture -t beta "'"$work"'/b.txt" >/dev/null
    for _ in $(seq 100); do
        [ "$(ls "$CAPTURE_ROOT/capture" | grep -vc "\.part$")" -ge 2 ] && break
        sleep 0.1
    done
    jobs=$(ls "$CAPTURE_ROOT/capture" | sort)
    [ "$(echo "$jobs" | sed -n 1p)" = 000001-alpha ] || { echo "first job missing: $jobs"; exit 1; }
    [ "$(echo "$jobs" | sed -n 2p)" = 000002-beta ] || { echo "second job missing: $jobs"; exit 1; }
    cmp "$CAPTURE_ROOT/capture/000001-alpha" "'"$work"'/a.txt"
    cmp "$CAPTURE_ROOT/capture/000002-beta" "'"$work"'/b.txt"
'
server=$(cat "$work/server")
if [ -e "$(dirname "$server")" ]; then
    echo "the scheduler's folder was not removed: $(dirname "$server")"
    exit 1
fi
if pgrep -f "cupsd -f -c $(dirname "$server")" >/dev/null; then
    echo "the private scheduler is still running"
    exit 1
fi
echo "capture queue: 2 jobs in order, content intact, nothing left behind"
