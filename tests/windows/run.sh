#!/usr/bin/env bash
# The Windows builds: cross-compiles the 32- and 64-bit DLLs and VST 3 bundles with mingw-w64, checks their
# machine type, export table and imports with objdump, and runs the probe host under wine64 against the
# 64-bit DLL: its rendered output must equal the Linux build's bit for bit. The 64-bit VST 3 bundle runs
# under wine64 in a host built on the VST 3 SDK's own interface headers: the same audio as the Linux build
# and the same state bytes.
set -uo pipefail
cd "$(dirname "$0")/../.."

if ! command -v i686-w64-mingw32-g++-posix >/dev/null || ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    echo "mingw-w64 is not installed: skipping the Windows builds"
    exit 77
fi

jobs=$(nproc)
status=0
fail() {
    echo "FAILED: $*"
    status=1
}

build() { # build NAME
    cmake --preset "$1" >/dev/null &&
        cmake --build "build/$1" -j "$jobs" --target ZaRoruraroze vst-probe test_host ZaRorurarozeVst3
}

# check_dll NAME OBJDUMP FORMAT EXPORTS...
check_dll() {
    local name=$1 objdump=$2 format=$3
    shift 3
    local dll=${module:-build/$name/ZaRoruraroze.dll}
    local info
    info=$("$objdump" -p "$dll") || { fail "$name: objdump"; return; }
    grep -q "file format $format" <<<"$info" || fail "$name: not $format"
    # Exported names: the lines of the export name table, "[ordinal] name".
    local exports
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$info" | grep -oE '^[[:space:]]*\[ *[0-9]+\] +[A-Za-z_0-9@]+' |
        sed 's/.*\] *//' | sort | tr '\n' ' ')
    local expected
    expected=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
    [ "$exports" = "$expected" ] || fail "$name: exports are '$exports', expected '$expected'"
    # Only system DLLs: a musician's machine has no compiler runtime.
    local imports
    imports=$(grep -oE 'DLL Name: .*' <<<"$info" | sed 's/DLL Name: //' | sort -u | tr '\n' ' ')
    for dll_name in $imports; do
        case "${dll_name,,}" in
        kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ntdll.dll | api-ms-win-*) ;;
        *) fail "$name: imports $dll_name" ;;
        esac
    done
    echo "$name: $format; exports: $exports; imports: $imports"
}

build win32 || fail "win32 build"
build win64 || fail "win64 build"
[ $status -eq 0 ] || exit $status
check_dll win32 i686-w64-mingw32-objdump pei-i386 main
check_dll win64 x86_64-w64-mingw32-objdump pei-x86-64 main VSTPluginMain
# The VST 3 bundles: the DLL renamed, in the folder of its architecture.
vst3_module() { echo "build/$1/vst3/ZaRoruraroze.vst3/Contents/$2/ZaRoruraroze.vst3"; }
module=$(vst3_module win32 x86-win) check_dll win32-vst3 i686-w64-mingw32-objdump pei-i386 GetPluginFactory InitDll ExitDll
module=$(vst3_module win64 x86_64-win) check_dll win64-vst3 x86_64-w64-mingw32-objdump pei-x86-64 GetPluginFactory InitDll ExitDll

if [ -x /usr/lib/wine/wine64 ]; then
    linux_probe=build/release/tests/probe/vst-probe
    if [ ! -x "$linux_probe" ]; then
        cmake --preset release >/dev/null &&
            cmake --build build/release -j "$jobs" --target ZaRoruraroze vst-probe || fail "linux build"
    fi
    "$linux_probe" build/release/ZaRoruraroze.so build/win64/probe-linux.raw || fail "linux probe"
    export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"
    # The host harness, loading the DLL through LoadLibrary/GetProcAddress.
    if ZR_PLUGIN_PATH="Z:${PWD//\//\\}\\build\\win64\\ZaRoruraroze.dll" timeout 600 /usr/lib/wine/wine64 \
        build/win64/tests/host/test_host.exe >build/win64/test_host.log 2>&1; then
        echo "wine64, host harness against the 64-bit DLL: $(grep -E "^\[  PASSED  \]" build/win64/test_host.log)"
    else
        cat build/win64/test_host.log
        fail "wine64: host harness"
    fi
    if timeout 600 /usr/lib/wine/wine64 build/win64/tests/probe/vst-probe.exe build/win64/ZaRoruraroze.dll \
        build/win64/probe-wine.raw; then
        if cmp -s build/win64/probe-linux.raw build/win64/probe-wine.raw; then
            echo "wine64: the 64-bit DLL renders bit-identically to the Linux build"
        else
            fail "wine64: output differs from the Linux build"
        fi
    else
        fail "wine64 probe"
    fi
    # The same knob positions in the host (normalised) and the render tool (@).
    source tests/vst3/knobs.sh
    v3=build/win64/vst3-check
    mkdir -p $v3
    if sdk_host=$(tests/vst3/hosts/build-sdk-host.sh build/win64/sdk-host win64) &&
        cmake --build build/release -j "$jobs" --target zaroruraroze-render >/dev/null &&
        python3 tests/ardour/audio_file.py signal $v3/signal.wav $v3/left.wav $v3/right.wav --seconds 3 &&
        build/release/tools/zaroruraroze-render --plugin build/release/ZaRoruraroze.so --block 1024 --float --quiet \
            "${tool_args[@]}" --save-preset $v3/linux.fxb $v3/signal.wav $v3/linux.wav &&
        python3 tests/ardour/ardour_files.py fxb-bytes $v3/linux.fxb $v3/linux.state; then
        if timeout 600 /usr/lib/wine/wine64 "$sdk_host" render build/win64/vst3/ZaRoruraroze.vst3 $v3/signal.wav \
            $v3/wine.wav "${host_args[@]}" --save-state $v3/wine.state >$v3/wine.log 2>&1 &&
            python3 tests/ardour/audio_file.py compare $v3/linux.wav $v3/wine.wav >$v3/compare.log &&
            cmp -s $v3/linux.state $v3/wine.state; then
            echo "wine64: the 64-bit VST 3 bundle, in a host on the SDK's own headers, renders bit-identically to the Linux build and saves its bank chunk"
        else
            cat $v3/wine.log $v3/compare.log 2>/dev/null
            fail "wine64: the 64-bit VST 3 bundle differs from the Linux build"
        fi
    else
        fail "the VST 3 check under wine64 could not be set up"
    fi
else
    echo "wine64 is not installed (apt-get install wine64): the 64-bit DLL is built and checked but not run"
    [ $status -eq 0 ] && exit 77
fi
exit $status
