#!/usr/bin/env bash
# Builds and runs every test: a release build, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the concurrency tests under ThreadSanitizer, the Windows builds (checked with
# objdump, the 64-bit one run under wine64) and the 32-bit Linux build under qemu-i386. Exits non-zero on any
# failure.
set -uo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh test || exit 1

jobs=$(nproc)
passed=0
failed=0
failures=()

# step NAME COMMAND...: runs one step and counts it.
step() {
    local name=$1
    shift
    echo "=== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        failures+=("$name")
    fi
}

# suite NAME CTEST_ARGS -- CMAKE_ARGS...: configures, builds and runs CTest in build/NAME.
suite() {
    local name=$1
    shift
    local ctest_args=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
    shift
    cmake -S . -B "build/$name" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null &&
        cmake --build "build/$name" -j "$jobs" &&
        (cd "build/$name" && ctest --output-on-failure -j "$jobs" "${ctest_args[@]}")
}

step "release" suite release --
step "asan+ubsan" suite asan -- -DCMAKE_BUILD_TYPE=Debug "-DZR_SANITIZE=address;undefined"
step "tsan" suite tsan -L concurrency -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_ASSERTIONS=ON -DZR_SANITIZE=thread
if [ -x tests/fuzz/run.sh ]; then
    step "fuzz" tests/fuzz/run.sh 30
fi
if [ -x tests/windows/run.sh ]; then
    step "windows" tests/windows/run.sh
fi
if [ -x tests/i386/run.sh ]; then
    step "i386" tests/i386/run.sh
fi
if [ -x tests/jack/run.sh ]; then
    step "jack" tests/jack/run.sh
fi
if [ -x tests/package/run.sh ]; then
    step "package" tests/package/run.sh
fi
if [ -x tests/ardour/run.sh ]; then
    step "ardour" tests/ardour/run.sh
fi

echo
if [ $failed -gt 0 ]; then echo "failed steps: ${failures[*]}"; fi
echo "steps: $passed passed, $failed failed"
[ $failed -eq 0 ]
