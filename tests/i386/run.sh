#!/usr/bin/env bash
# The 32-bit x86 build, run: the plug-in and the in-process suite built for i386 Linux with the Win32 DLL's
# float flags (cmake/toolchain-linux-i386.cmake), run under qemu-i386, since this machine runs no 32-bit code
# itself. The CPU model qemu shows decides the detector path the plug-in picks at construction:
#   Nehalem        SSE2 and SSE4.2, no AVX: the SSE2 path. The whole suite (the dlopen host tests and the
#                  in-process tests that compare every available path with the scalar one) and the probe.
#   Nehalem,-sse2  the same CPU with SSE2 hidden from CPUID (qemu still runs the SSE2 arithmetic the build
#                  uses): the scalar path. The dlopen host tests and the probe.
# Both probe renders must equal the 64-bit Linux build's bit for bit. qemu's AVX2 emulation is not trusted
# (a 64-bit AVX2 build that passes natively fails under it), so the wider paths are judged natively only.
set -uo pipefail
cd "$(dirname "$0")/../.."

if ! command -v qemu-i386 >/dev/null; then
    echo "qemu-i386 is not installed (Debian's qemu-user): skipping the 32-bit build"
    exit 77
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

# No 32-bit libsndfile here, so no tools (and no tool tests); everything else.
mkdir -p "$build"
if ! { cmake --preset i386 &&
    cmake --build "$build" -j "$jobs"; } >"$build/build.log" 2>&1; then
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

# on_cpu MODEL PATH: the dlopen host tests and the probe with qemu showing MODEL, whose widest detector path
# must be PATH. The CPU flags qemu cannot emulate for a 32-bit guest are taken off so it warns of none.
on_cpu() {
    local model=$1 path=$2
    export QEMU_CPU="$model,-syscall,-lm" ZR_EXPECTED_WIDEST_DETECTOR_PATH=$path
    local log="$build/host-$path.log"
    if qemu-i386 "$build/tests/compressor/test_compressor" --gtest_filter='VectorPath.ScalarAlways*' >"$log" 2>&1 &&
        qemu-i386 "$build/tests/host/test_host" >>"$log" 2>&1; then
        echo "qemu-i386 -cpu $QEMU_CPU ($path path), dlopen host tests: $(grep -E '^\[  PASSED  \]' "$log" | tail -1)"
    else
        cat "$log"
        fail "$model: the widest path is not $path, or the host tests failed"
    fi
    if qemu-i386 "$build/tests/probe/vst-probe" "$PWD/$build/ZaRoruraroze.so" "$build/probe-$path.raw"; then
        if cmp -s "$build/probe-linux.raw" "$build/probe-$path.raw"; then
            echo "qemu-i386 ($path path): the 32-bit module renders bit-identically to the 64-bit Linux build"
        else
            fail "$path path: the 32-bit render differs from the 64-bit Linux build"
        fi
    else
        fail "$path path: probe"
    fi
}

on_cpu Nehalem sse2
# The whole in-process suite on the SSE2 path (each path test compares SSE2 with the scalar path).
if (cd "$build" && ctest -j "$jobs" >ctest.log 2>&1); then
    echo "qemu-i386 -cpu $QEMU_CPU, in-process suite: $(grep -E 'tests passed' "$build/ctest.log")"
else
    cat "$build/ctest.log"
    fail "i386 suite under qemu"
fi
on_cpu Nehalem,-sse2 scalar
exit $status
