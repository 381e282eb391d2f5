#!/usr/bin/env bash
# Builds and runs every test: a release build, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the concurrency tests under ThreadSanitizer, the fuzzers, the Windows builds
# (checked with objdump, run under wine64 and, where the kernel runs i386 programs, wine32), the 32-bit Linux
# build (natively, or under qemu-i386), the JACK client, the CLAP plug-in in our test host and in qtractor,
# the packages and the Ardour checks. Exits non-zero on any failure.
#
# As root it installs everything first, and a skipped step counts as a failure. Otherwise a step whose
# optional packages are missing is skipped (its script exits 77 and says why), counted as skipped, and the
# apt-get line that would run it is printed at the end.
set -uo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh test || exit 1

jobs=$(nproc)
passed=0
failed=0
failures=()
skips=()
as_root=0
[ "$(id -u)" -eq 0 ] && as_root=1
skipped_rc=77

# step NAME COMMAND...: runs one step and counts it.
step() {
    local name=$1
    shift
    echo "=== $name"
    local log
    log=$(mktemp)
    "$@" 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    if [ "$rc" -eq 0 ]; then
        passed=$((passed + 1))
    elif [ "$rc" -eq $skipped_rc ] && [ $as_root -eq 0 ]; then
        skips+=("$name: $(grep -v '^$' "$log" | tail -n 1)")
    else
        [ "$rc" -eq $skipped_rc ] && echo "$name was skipped although everything is installed as root"
        failed=$((failed + 1))
        failures+=("$name")
    fi
    rm -f "$log"
}

# suite PRESET CTEST_ARGS...: configures with the preset, builds and runs CTest in its folder.
suite() {
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null &&
        cmake --build "build/$preset" -j "$jobs" &&
        (cd "build/$preset" && ctest --output-on-failure -j "$jobs" "$@")
}

step "style" tools/style/check-format.sh
step "release" suite release
step "asan+ubsan" suite asan
step "tsan" suite tsan -L concurrency
step "fuzz" tests/fuzz/run.sh 30
step "windows" tests/windows/run.sh
step "i386" tests/i386/run.sh
step "jack" tests/jack/run.sh
step "clap" tests/clap/run.sh
step "package" tests/package/run.sh
step "ardour" tests/ardour/run.sh

echo
if [ ${#skips[@]} -gt 0 ]; then
    echo "skipped steps:"
    printf '  %s\n' "${skips[@]}"
    echo "to run them, as root: apt-get install -y --no-install-recommends" \
        "$(tools/install-deps.sh test --print-missing-optional)"
fi
if [ $failed -gt 0 ]; then echo "failed steps: ${failures[*]}"; fi
echo "steps: $passed passed, $failed failed, ${#skips[@]} skipped"
[ $failed -eq 0 ]
