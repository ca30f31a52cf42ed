#!/bin/bash
# Prints figures, asserts nothing. Run under the private scheduler
# (with-private-cups.sh) with its capture queue:
#   bench-command-line.sh PROGRAM MAKE_DOCUMENT_SCRIPT
# 1. marrowlake --print --pause 0 on 10 and 100 one-page documents against
#    soffice --headless --pt given the same documents in one call, on a
#    set-up profile and on a fresh one; the peak memory of each run (the
#    program's own resident memory and its offices' proportional share);
#    1,000 documents, to see that memory stays flat.
# 2. marrowlake --watch: from a document landing in the folder to its job on
#    the queue; its processor time over a minute with nothing arriving; its
#    start on a folder of 10,000 documents.
# MARROWLAKE_BENCH_ONLY=print, =watch or =burst runs only that part.
set -euo pipefail
only=${MARROWLAKE_BENCH_ONLY:-}
part() { [ -z "$only" ] || [ "$only" = "$1" ]; }
program=${1:?usage: bench-command-line.sh PROGRAM MAKE_DOCUMENT_SCRIPT}
maker=${2:?usage: bench-command-line.sh PROGRAM MAKE_DOCUMENT_SCRIPT}
work=$(mktemp -d)
watcher=""
trap '[ -n "$watcher" ] && kill "$watcher" 2>/dev/null; rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state"
queue="$CAPTURE_ROOT/capture"
captured() { ls "$queue" | wc -l; }
# Every wait has a limit, and says what it waited for when it gives up.
give_up() { echo "gave up waiting for $1" >&2; exit 1; }
wait_for_jobs() { # wait_for_jobs N: N jobs on the queue, within 5 minutes
    local limit=$((SECONDS + 300))
    while [ "$(captured)" -lt "$1" ]; do
        [ "$SECONDS" -lt "$limit" ] || give_up "job $1 on the queue (there are $(captured))"
        sleep 0.01
    done
}
start_watcher() { # start_watcher FOLDER: watching within 5 minutes
    # Each watcher writes to files of its own, so that no line of an
    # earlier one is read as its own.
    local out="$work/watch-$((++watchers))"
    "$program" --watch "$1" --printer capture --pause 0 >"$out.out" 2>"$out.err" &
    watcher=$!
    local limit=$((SECONDS + 300))
    while ! grep -qs watching "$out.err"; do
        kill -0 "$watcher" 2>/dev/null || give_up "the watcher of $1 (it ended: $(cat "$out.err"))"
        [ "$SECONDS" -lt "$limit" ] || give_up "the watcher of $1 to say it is watching"
        sleep 0.01
    done
}
watchers=0
now() { date +%s.%N; }
seconds() { echo "$2 - $1" | bc; }

mkdir -p "$work/docs"
python3 "$maker" "$work/docs/doc001.docx" "Benchmark document 1"
for i in $(seq -w 2 100); do
    python3 "$maker" "$work/docs/doc$(printf %03d "$((10#$i))").docx" "Benchmark document $i"
done
mapfile -t all < <(ls "$work"/docs/*.docx)
ten=("${all[@]:0:10}")

# Peak memory (MB) of the program and its offices together, sampled from
# /proc five times a second (cheap next to the run): the program's own
# resident set, and its offices' proportional set size (a page shared by N
# processes counts 1/N in each), so that shared pages are not counted again
# for every office.
peak_mb=0
memory_kb() { # memory_kb PID: "OWN_RSS OFFICES_PSS" in kB
    local own offices=0 p pss
    own=$(awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null || true)
    for p in $(cat "/proc/$1/task/"*/children 2>/dev/null); do
        pss=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || true)
        offices=$((offices + ${pss:-0}))
    done
    echo "${own:-0} $offices"
}
run_sampled() {
    "$@" &
    local pid=$! peak=0 own offices
    local limit=$((SECONDS + 1800))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$limit" ] || { kill "$pid"; give_up "$* to end"; }
        read -r own offices < <(memory_kb "$pid") || true
        [ $((own + offices)) -gt "$peak" ] && peak=$((own + offices))
        sleep 0.2
    done
    wait "$pid" || true
    peak_mb=$((peak / 1024))
}

# The program's first start sets up its profile: not timed.
"$program" --print --printer capture --pause 0 "${ten[0]}" >/dev/null
jobs=$(captured)
setup_profile="$work/set-up-profile"
cp -a "$XDG_CACHE_HOME/marrowlake/office-profile" "$setup_profile"
soffice -env:UserInstallation="file://$setup_profile" --headless --pt capture "${ten[0]}" >/dev/null 2>&1
jobs=$((jobs + 1))
wait_for_jobs "$jobs"

part print && echo "Printing from the command line, one-page .docx documents:"
for count in 10 100; do
    part print || break
    docs=("${all[@]:0:$count}")
    start=$(now)
    run_sampled "$program" --print --printer capture --pause 0 "${docs[@]}" >/dev/null
    ours=$(seconds "$start" "$(now)")
    ours_peak=$peak_mb
    jobs=$((jobs + count))
    wait_for_jobs "$jobs"
    start=$(now)
    soffice -env:UserInstallation="file://$setup_profile" --headless --pt capture "${docs[@]}" >/dev/null 2>&1
    set_up=$(seconds "$start" "$(now)")
    jobs=$((jobs + count))
    wait_for_jobs "$jobs"
    start=$(now)
    soffice -env:UserInstallation="file://$work/fresh-$count" --headless --pt capture "${docs[@]}" >/dev/null 2>&1
    fresh=$(seconds "$start" "$(now)")
    jobs=$((jobs + count))
    wait_for_jobs "$jobs"
    printf '  %3d documents: marrowlake --print --pause 0 %6.2f s (peak %d MB);' "$count" "$ours" "$ours_peak"
    printf ' soffice --pt set-up %5.2f s, fresh %5.2f s; ratio %.2f / %.2f\n' "$set_up" "$fresh" \
        "$(echo "$ours / $set_up" | bc -l)" "$(echo "$ours / $fresh" | bc -l)"
    [ "$count" -eq 10 ] && ten_seconds=$ours
done
part print && printf '  100 against 10 documents: %.1fx the time (target: at most 10.5x)\n' \
    "$(echo "$ours / $ten_seconds" | bc -l)"
if part print; then
    # Memory over a long run stays flat: offices are renewed, never piled up.
    hundred_peak=$ours_peak
    docs=()
    for _ in $(seq 10); do docs+=("${all[@]}"); done
    start=$(now)
    run_sampled "$program" --print --printer capture --pause 0 "${docs[@]}" >/dev/null
    took=$(seconds "$start" "$(now)")
    jobs=$((jobs + 1000))
    wait_for_jobs "$jobs"
    printf '  1,000 documents: %.1f s (%.3f s each), peak %d MB (100 documents: %d MB)\n' \
        "$took" "$(echo "$took / 1000" | bc -l)" "$peak_mb" "$hundred_peak"
fi

part print && [ -n "$only" ] && exit 0
echo "Watching a folder:"
if part watch; then
    in="$work/watched"
    mkdir -p "$in"
    start_watcher "$in"
    total=0 worst=0
    for i in 1 2 3 4 5; do
        start=$(now)
        cp "${all[$i]}" "$in/arrival-$i.docx"
        jobs=$((jobs + 1))
        wait_for_jobs "$jobs"
        took=$(seconds "$start" "$(now)")
        total=$(echo "$total + $took" | bc)
        worst=$(echo "if ($took > $worst) $took else $worst" | bc)
    done
    printf '  landing to queued: mean %.2f s, worst %.2f s over 5 (target: within 1.5 s)\n' \
        "$(echo "$total / 5" | bc -l)" "$worst"
    ticks() { awk '{print $14 + $15}' "/proc/$watcher/stat"; }
    before=$(ticks)
    sleep 60
    after=$(ticks)
    printf '  processor time with nothing arriving: %.3f%% of a core over 60 s (target: under 0.1%%)\n' \
        "$(echo "($after - $before) / $(getconf CLK_TCK) / 60 * 100" | bc -l)"
    kill -TERM "$watcher"
    wait "$watcher" || true
    watcher=""
fi

# 1,000 documents copied into the folder at once: each printed once, the
# time until the last is on the queue, and the station's peak memory with
# its offices.
burst="$work/burst"
mkdir -p "$burst"
start_watcher "$burst"
burst_out="$work/watch-$watchers.out"
first=$jobs
start=$(now)
for i in $(seq -w 1 1000); do cp "${all[$((10#$i % 100))]}" "$burst/doc$i.docx"; done
jobs=$((jobs + 1000))
peak=0 peak_own=0 peak_offices=0
limit=$((SECONDS + 1800))
while [ "$(captured)" -lt "$jobs" ]; do
    [ "$SECONDS" -lt "$limit" ] || give_up "1,000 documents on the queue (there are $(($(captured) - first)))"
    read -r own offices < <(memory_kb "$watcher") || true
    [ "$own" -gt "$peak_own" ] && peak_own=$own
    [ "$offices" -gt "$peak_offices" ] && peak_offices=$offices
    [ $((own + offices)) -gt "$peak" ] && peak=$((own + offices))
    sleep 0.2
done
took=$(seconds "$start" "$(now)")
printf '  1,000 documents at once: all on the queue after %.0f s (%.2f s each), printed lines %s (each once: %s)\n' \
    "$took" "$(echo "$took / 1000" | bc -l)" "$(grep -c '^printed' "$burst_out")" \
    "$([ "$(grep '^printed' "$burst_out" | sort | uniq -d | wc -l)" -eq 0 ] && echo yes || echo no)"
printf '    peak memory %d MB (the program %d MB resident at most, its office %d MB proportional at most)\n' \
    "$((peak / 1024))" "$((peak_own / 1024))" "$((peak_offices / 1024))"
kill -TERM "$watcher"
wait "$watcher" || true
watcher=""

part watch || exit 0
big="$work/big"
mkdir -p "$big"
for d in $(seq 0 99); do
    mkdir -p "$big/folder$d"
    for f in $(seq 0 99); do cp "${all[0]}" "$big/folder$d/document$f.docx"; done
done
start=$(now)
start_watcher "$big"
ready=$(seconds "$start" "$(now)")
start=$(now)
cp "${all[1]}" "$big/folder50/arrival.docx"
jobs=$((jobs + 1))
wait_for_jobs "$jobs"
printf '  10,000 documents already there: watching after %.2f s, an arrival queued %.2f s after landing\n' \
    "$ready" "$(seconds "$start" "$(now)")"
kill -TERM "$watcher"
wait "$watcher" || true
watcher=""
