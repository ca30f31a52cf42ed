#!/bin/bash
# Runs the benchmarks of a build folder; they print figures and assert nothing.
set -euo pipefail
build=${1:?usage: run-benchmarks.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
export QT_QPA_PLATFORM=offscreen
"$build/bench/bench_folder_search"
"$build/bench/bench_watch_history"
"$here/../tests/cups/with-private-cups.sh" --queues capture "$build/bench/bench_print" "$build/src/app/marrowlake"
"$here/../tests/cups/with-private-cups.sh" --queues capture "$here/bench-command-line.sh" \
    "$build/src/app/marrowlake" "$here/../tests/tools/make-document.py"
