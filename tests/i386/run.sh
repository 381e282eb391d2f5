#!/usr/bin/env bash
# The 32-bit x86 build, run: the plug-in and the in-process suite built for i386 Linux with the Win32 DLL's
# float flags (cmake/toolchain-linux-i386.cmake). Every probe render must equal the 64-bit Linux build's bit
# for bit, and the scalar and the SSE2 detector paths must each run through the VST 2 interface.
#
# Natively, where the kernel runs i386 programs (tools/runs-i386.sh): the whole suite on the real CPU (the
# in-process tests compare every path it has with the scalar one), and the dlopen host tests and the probe
# against the plug-in and its copies pinned to the scalar and the SSE2 path (tests/i386/CMakeLists.txt).
#
# Elsewhere under qemu-i386, whose CPU model decides the path the plug-in picks at construction:
#   Nehalem        SSE2 and SSE4.2, no AVX: the SSE2 path. The whole suite and the probe.
#   Nehalem,-sse2  the same CPU with SSE2 hidden from CPUID (qemu still runs the SSE2 arithmetic the build
#                  uses): the scalar path. The dlopen host tests and the probe.
# qemu's AVX2 emulation is not trusted (a 64-bit AVX2 build that passes natively fails under it), so there
# the wider paths are judged natively only.
set -uo pipefail
cd "$(dirname "$0")/../.."

native=1
if ! kernel=$(tools/runs-i386.sh); then
    native=0
    if ! command -v qemu-i386 >/dev/null; then
        echo "$kernel, and qemu-i386 is not installed (Debian's qemu-user): skipping the 32-bit build"
        exit 77
    fi
fi
if ! echo 'int main() {}' | g++ -m32 -x c++ - -o /dev/null 2>/dev/null; then
    echo "g++ cannot build 32-bit programs (Debian's gcc-multilib and g++-multilib): skipping the 32-bit build"
    exit 77
fi

jobs=$(nproc)
build=build/i386
status=0
fail() {
    echo "FAILED: $*"
    status=1
}

# No 32-bit libsndfile here, so no tools (and no tool tests); everything else, and natively the pinned copies.
pinned=()
[ $native -eq 1 ] && pinned=(--target all ZaRoruraroze-scalar ZaRoruraroze-sse2)
mkdir -p "$build"
if ! { cmake --preset i386 &&
    cmake --build "$build" -j "$jobs" "${pinned[@]}"; } >"$build/build.log" 2>&1; then
    cat "$build/build.log"
    echo "FAILED: i386 build"
    exit 1
fi
objdump -f "$build/ZaRoruraroze.so" | grep -q 'file format elf32-i386' || fail "the module is not elf32-i386"

linux_probe=build/release/tests/probe/vst-probe
if [ ! -x "$linux_probe" ]; then
    cmake --preset release >/dev/null &&
        cmake --build build/release -j "$jobs" --target ZaRoruraroze vst-probe || fail "linux build"
fi
"$linux_probe" build/release/ZaRoruraroze.so "$build/probe-linux.raw" || fail "64-bit probe"

# widest_is WHERE PATH: the detector's widest path on this CPU (or qemu's model of one) must be PATH, so that
# a different CPU cannot quietly leave a path untested.
widest_is() {
    local log="$build/widest-$2.log"
    if ! ZR_EXPECTED_WIDEST_DETECTOR_PATH=$2 $emulator "$build/tests/compressor/test_compressor" \
        --gtest_filter='VectorPath.ScalarAlways*' >"$log" 2>&1; then
        cat "$log"
        fail "$1: the widest path is not $2"
    fi
}

# on_path WHERE PATH MODULE: the dlopen host tests against MODULE, whose detector takes PATH, and its probe
# render, through $emulator (none natively); WHERE names the run.
on_path() {
    local where=$1 path=$2 module=$3
    local log="$build/host-$path.log"
    if ZR_PLUGIN_PATH="$PWD/$module" $emulator "$build/tests/host/test_host" >"$log" 2>&1; then
        echo "$where ($path path), dlopen host tests: $(grep -E '^\[  PASSED  \]' "$log" | tail -1)"
    else
        cat "$log"
        fail "$where, $path path: the host tests failed"
    fi
    if $emulator "$build/tests/probe/vst-probe" "$PWD/$module" "$build/probe-$path.raw"; then
        if cmp -s "$build/probe-linux.raw" "$build/probe-$path.raw"; then
            echo "$where ($path path): the 32-bit module renders bit-identically to the 64-bit Linux build"
        else
            fail "$where, $path path: the 32-bit render differs from the 64-bit Linux build"
        fi
    else
        fail "$where, $path path: probe"
    fi
}

# suite WHERE: the whole in-process suite (CTest runs it through the toolchain's emulator, if any).
suite() {
    if (cd "$build" && ctest -j "$jobs" >ctest.log 2>&1); then
        echo "$1, in-process suite: $(grep -E 'tests passed' "$build/ctest.log")"
    else
        cat "$build/ctest.log"
        fail "i386 suite, $1"
    fi
}

if [ $native -eq 1 ]; then
    emulator=
    echo "natively: $kernel"
    cpu_flags=" $(grep -m1 '^flags' /proc/cpuinfo | cut -d: -f2) "
    widest=sse2
    [[ $cpu_flags == *" avx2 "* ]] && widest=avx2
    [[ $cpu_flags == *" avx512f "* ]] && widest=avx512
    widest_is natively $widest
    suite natively
    on_path natively scalar "$build/tests/i386/ZaRoruraroze-scalar.so"
    on_path natively sse2 "$build/tests/i386/ZaRoruraroze-sse2.so"
    on_path natively $widest "$build/ZaRoruraroze.so"
else
    emulator=qemu-i386
    echo "under qemu-i386: $kernel"
    # The CPU flags qemu cannot emulate for a 32-bit guest are taken off so it warns of none.
    export QEMU_CPU=Nehalem,-syscall,-lm
    widest_is "qemu-i386 -cpu $QEMU_CPU" sse2
    on_path "qemu-i386 -cpu $QEMU_CPU" sse2 "$build/ZaRoruraroze.so"
    # Each path test of the suite compares SSE2 with the scalar path.
    suite "qemu-i386 -cpu $QEMU_CPU"
    export QEMU_CPU=Nehalem,-sse2,-syscall,-lm
    widest_is "qemu-i386 -cpu $QEMU_CPU" scalar
    on_path "qemu-i386 -cpu $QEMU_CPU" scalar "$build/ZaRoruraroze.so"
fi
exit $status
