#!/bin/bash
# Runs a command against a private CUPS scheduler of its own.
#
#   with-private-cups.sh [--queues "q1 q2"] [--output DIR] COMMAND [ARGS...]
#
# Starts cupsd with its own configuration, spool, cache and log folders under
# a fresh temporary folder, listening only on a local socket there. Each queue
# is a raw queue whose "capture" backend writes every job's data to
# $CAPTURE_ROOT/QUEUE/JOBID-TITLE. The command runs with CUPS_SERVER pointing
# at the socket; the first queue is the scheduler's default destination.
# With --output, the jobs land in DIR/QUEUE instead and are kept.
# The scheduler is stopped and the folder removed when the command ends,
# however it ends. The system's own CUPS set-up is never touched.
set -euo pipefail

queues="capture"
output=""
while [ $# -gt 0 ]; do
    case "$1" in
        --queues) queues=$2; shift 2 ;;
        --output) output=$(cd "$2" && pwd); shift 2 ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--queues \"q1 q2\"] COMMAND [ARGS...]" >&2; exit 2; }

here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d "${TMPDIR:-/tmp}/private-cups.XXXXXX")
chmod 0755 "$root"
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$root"/{etc/ppd,etc/ssl,spool/tmp,cache,log,state,bin,capture}
chmod 0710 "$root/spool"
chmod 1777 "$root/spool/tmp" "$root/capture"

# ServerBin: the system's filters and helpers, plus our own backend folder.
for d in /usr/lib/cups/*; do
    [ "$(basename "$d")" = backend ] || ln -s "$d" "$root/bin/$(basename "$d")"
done
mkdir "$root/bin/backend"
install -m 0755 "$here/capture-backend" "$root/bin/backend/capture"

# As root, jobs run as "lp" (capture folders are world-writable for that);
# as an ordinary user, everything runs as that user.
if [ "$(id -u)" -eq 0 ]; then
    identity="Group lp
SystemGroup root"
else
    identity="User $(id -un)
Group $(id -gn)
SystemGroup $(id -gn)"
fi

cat >"$root/etc/cups-files.conf" <<CONF
ServerRoot $root/etc
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
ServerBin $root/bin
DataDir /usr/share/cups
DocumentRoot /usr/share/cups/www
AccessLog $root/log/access_log
ErrorLog $root/log/error_log
PageLog $root/log/page_log
$identity
FileDevice No
Printcap $root/printcap
Sandboxing Relaxed
CONF

cat >"$root/etc/cupsd.conf" <<CONF
Listen $root/cups.sock
LogLevel warn
Browsing No
DefaultShared No
WebInterface No
MaxJobs 0
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
CONF

/usr/sbin/cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" &
pid=$!

export CUPS_SERVER="$root/cups.sock"
for _ in $(seq 100); do
    [ -S "$CUPS_SERVER" ] && lpstat -r 2>/dev/null | grep -q "is running" && break
    sleep 0.1
done
lpstat -r 2>/dev/null | grep -q "is running" || { echo "private cupsd did not start:" >&2; cat "$root/log/error_log" >&2 || true; exit 1; }

capture_root="${output:-$root/capture}"
first=""
for q in $queues; do
    mkdir -p "$capture_root/$q"
    chmod 1777 "$capture_root/$q"
    lpadmin -p "$q" -E -v "capture:$capture_root/$q" -m raw 2>/dev/null
    [ -n "$first" ] || first=$q
done
lpadmin -d "$first"

export CAPTURE_ROOT="$capture_root"
export PRIVATE_CUPS_LOG="$root/log/error_log"
set +e
"$@"
status=$?
set -e
exit $status
