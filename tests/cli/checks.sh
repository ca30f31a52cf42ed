# Sourced by the command-line tests: a check that counts, and a wait that
# has a limit.
# shellcheck shell=bash
failures=0 passes=0
check() { # check DESCRIPTION CONDITION...
    local what=$1; shift
    if "$@"; then
        echo "ok: $what"; passes=$((passes + 1))
    else
        echo "FAILED: $what"; failures=$((failures + 1))
    fi
}
# wait_for WHAT SECONDS CONDITION: until the condition (shell code) holds,
# at most SECONDS; what it gave up on is said, and the check that follows
# fails on it.
wait_for() {
    local deadline=$((SECONDS + $2))
    until eval "$3"; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "gave up waiting for $1"; return 0; }
        sleep 0.1
    done
}
