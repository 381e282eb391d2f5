#!/usr/bin/env bash
# The Windows builds: cross-compiles the 32- and 64-bit DLLs and CLAP plug-ins with mingw-w64, checks their
# machine type, export table and imports with objdump, and runs the probe host and the CLAP test host under
# wine64 against the 64-bit files: their rendered output must equal the Linux build's bit for bit.
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
        cmake --build "build/$1" -j "$jobs" --target ZaRoruraroze vst-probe test_host ZaRorurarozeClap clap-test-host
}

# check_dll NAME FILE OBJDUMP FORMAT EXPORTS...
check_dll() {
    local name=$1 dll=$2 objdump=$3 format=$4
    shift 4
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
    echo "$name: ${dll##*/}: $format; exports: $exports; imports: $imports"
}

build win32 || fail "win32 build"
build win64 || fail "win64 build"
[ $status -eq 0 ] || exit $status
check_dll win32 build/win32/ZaRoruraroze.dll i686-w64-mingw32-objdump pei-i386 main
check_dll win64 build/win64/ZaRoruraroze.dll x86_64-w64-mingw32-objdump pei-x86-64 main VSTPluginMain
check_dll win32 build/win32/clap/ZaRoruraroze.clap i686-w64-mingw32-objdump pei-i386 clap_entry
check_dll win64 build/win64/clap/ZaRoruraroze.clap x86_64-w64-mingw32-objdump pei-x86-64 clap_entry

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
    # The CLAP test host under wine64 against the 64-bit .clap, in uneven blocks: the Linux build's output.
    linux_clap_host=build/release/tests/clap/clap-test-host
    if [ ! -x "$linux_clap_host" ]; then
        cmake --build build/release -j "$jobs" --target ZaRorurarozeClap clap-test-host || fail "linux CLAP build"
    fi
    python3 tests/ardour/audio_file.py signal build/win64/clap-in.wav build/win64/clap-left.wav \
        build/win64/clap-right.wav --rate 48000 --seconds 1 || fail "test signal"
    clap_args=(--in build/win64/clap-in.wav --blocks 1,7,512,100,333,64,4096 --set Threshold=-20dB@1000)
    "$linux_clap_host" build/release/clap/ZaRoruraroze.clap "${clap_args[@]}" --out build/win64/clap-linux.wav \
        >/dev/null || fail "linux CLAP test host"
    if timeout 600 /usr/lib/wine/wine64 build/win64/tests/clap/clap-test-host.exe build/win64/clap/ZaRoruraroze.clap \
        --robustness --check-texts "${clap_args[@]}" --out build/win64/clap-wine.wav >build/win64/clap-host.log 2>&1; then
        if cmp -s build/win64/clap-linux.wav build/win64/clap-wine.wav; then
            echo "wine64: the 64-bit .clap passes the CLAP test host and renders bit-identically to the Linux build"
        else
            fail "wine64: the .clap's output differs from the Linux build"
        fi
    else
        grep -v '^value' build/win64/clap-host.log | tail -20
        fail "wine64: CLAP test host"
    fi
else
    echo "wine64 is not installed (apt-get install wine64): the 64-bit DLL is built and checked but not run"
    [ $status -eq 0 ] && exit 77
fi
exit $status
