# Sourced by the shell suites that start servers and clients: counts of checks, and the processes they
# started stopped by id. The suite sets work (kept when a check fails) and appends to pids.
passed=0
failed=0
pids=()

pass() { echo "  ok   $1"; passed=$((passed + 1)); }
fail() { echo "  FAIL $1 (files in $work)"; failed=$((failed + 1)); }
check() { # check NAME COMMAND...
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}

# The last started first, so clients go before their server; whatever a TERM does not end within 3 s is
# killed. A client whose server went first leaves its semaphore behind (libjack's doing); the name is ours.
stop_started() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || continue
        timeout 3 tail --pid="${pids[i]}" -f /dev/null || kill -9 "${pids[i]}" 2>/dev/null
    done
    rm -f /dev/shm/jack_sem.*_"${JACK_DEFAULT_SERVER:-none}"_* /dev/shm/jack_"${JACK_DEFAULT_SERVER:-none}"_*
}
