#!/usr/bin/env bash
# The Windows builds: cross-compiles the 32- and 64-bit DLLs, VST 3 bundles and CLAP plug-ins with mingw-w64,
# checks their machine type, export table and imports with objdump, and runs the host harness, the probe
# host, a VST 3 host built on the SDK's own interface headers, the CLAP test host and the editor's tests
# (without a display, then in a Windows host window on Xvfb, as a VST 2 editor and as a VST 3 view) against
# each build: the 64-bit one under wine64,
# the 32-bit one under wine32 where the kernel runs i386 programs itself. Every render must equal the Linux
# build's bit for bit, every VST 3 state its bank chunk byte for byte, and every editor picture the Linux
# canvas pixel for pixel. Where the 32-bit DLL cannot run, the output says why and
# the i386 step's 32-bit Linux build stands in for it.
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
        cmake --build "build/$1" -j "$jobs" --target ZaRoruraroze vst-probe test_host ZaRorurarozeVst3 \
            ZaRorurarozeClap clap-test-host test_editor vst-editor-host
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
        kernel32.dll | msvcrt.dll | user32.dll | gdi32.dll | advapi32.dll | ntdll.dll | api-ms-win-*) ;;
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
# The VST 3 bundles: the DLL renamed, in the folder of its architecture.
check_dll win32 build/win32/vst3/ZaRoruraroze.vst3/Contents/x86-win/ZaRoruraroze.vst3 i686-w64-mingw32-objdump \
    pei-i386 GetPluginFactory InitDll ExitDll
check_dll win64 build/win64/vst3/ZaRoruraroze.vst3/Contents/x86_64-win/ZaRoruraroze.vst3 \
    x86_64-w64-mingw32-objdump pei-x86-64 GetPluginFactory InitDll ExitDll

if [ ! -x /usr/lib/wine/wine64 ]; then
    echo "wine64 is not installed (apt-get install wine64): the DLLs are built and checked but not run"
    [ $status -eq 0 ] && exit 77
    exit $status
fi

# The 32-bit DLL needs wine32, and wine32 a kernel that runs i386 programs itself: through qemu it is not
# dependable. $wine32 is "ready", "missing" (installable: a skip), or why it cannot run.
wine32=ready
if ! kernel=$(tools/runs-i386.sh); then
    wine32="not run: $kernel"
elif [ ! -x /usr/lib/wine/wine ]; then
    wine32=missing
    # As root tools/install-deps.sh has added the i386 architecture: only the archive can lack wine32.
    if [ "$(id -u)" -eq 0 ] && dpkg --print-foreign-architectures | grep -qx i386 &&
        ! apt-cache policy wine32:i386 2>/dev/null | grep -q 'Candidate: [0-9]'; then
        wine32="not run: the package archive offers no wine32:i386"
    fi
fi

linux_probe=build/release/tests/probe/vst-probe
linux_render=build/win64/probe-linux.raw
# The Linux editor's offline canvas is what the DLLs' editors must show.
if [ ! -x "$linux_probe" ] || [ ! -x build/release/tests/editor/editor-snapshot ]; then
    cmake --preset release >/dev/null &&
        cmake --build build/release -j "$jobs" --target ZaRoruraroze vst-probe editor-snapshot || fail "linux build"
fi
"$linux_probe" build/release/ZaRoruraroze.so "$linux_render" || fail "linux probe"

# One 64-bit prefix for both DLLs: wine32 runs 32-bit programs in its syswow64 half. A prefix made before
# wine32 was installed has no such half; wine makes it anew.
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$wine32" = ready ] && [ -d "$WINEPREFIX/drive_c/windows/system32" ] &&
    [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    /usr/lib/wine/wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
fi
mkdir -p "$WINEPREFIX"

# run_pe64 / run_pe32 PROGRAM [ARGS...]: runs a 64-bit or a 32-bit (PE32) Windows program in the prefix.
# Any 32-bit Windows build (a bundle, an editor) runs through run_pe32 once $wine32 is ready. Arguments may be
# Unix paths, which wine maps; paths passed in the environment want win_path.
run_pe64() { timeout 600 /usr/lib/wine/wine64 "$@"; }
run_pe32() { timeout 600 /usr/lib/wine/wine "$@"; }
# win_path FILE: FILE as Windows programs name it (the Z: drive is the Unix root).
win_path() {
    local file
    file=$(realpath "$1")
    echo "Z:${file//\//\\}"
}

# run_dll NAME RUNNER WINE: under RUNNER (named WINE in the output), the host harness loads build/NAME's DLL
# through LoadLibrary/GetProcAddress, and the probe's render must equal the Linux build's.
run_dll() {
    local name=$1 runner=$2 wine=$3
    local dir=build/$name dll="the ${name#win}-bit DLL"
    if ZR_PLUGIN_PATH=$(win_path "$dir/ZaRoruraroze.dll") "$runner" "$dir/tests/host/test_host.exe" \
        >"$dir/test_host.log" 2>&1; then
        echo "$wine, host harness against $dll: $(grep -E "^\[  PASSED  \]" "$dir/test_host.log")"
    else
        cat "$dir/test_host.log"
        fail "$wine: host harness"
    fi
    if "$runner" "$dir/tests/probe/vst-probe.exe" "$dir/ZaRoruraroze.dll" "$dir/probe-wine.raw"; then
        if cmp -s "$linux_render" "$dir/probe-wine.raw"; then
            echo "$wine: $dll renders bit-identically to the Linux build"
        else
            fail "$wine: $dll renders other output than the Linux build"
        fi
    else
        fail "$wine: the probe of $dll"
    fi
}

# The CLAP test host in uneven blocks, against the Linux build's output.
linux_clap_host=build/release/tests/clap/clap-test-host
if [ ! -x "$linux_clap_host" ]; then
    cmake --build build/release -j "$jobs" --target ZaRorurarozeClap clap-test-host || fail "linux CLAP build"
fi
python3 tests/ardour/audio_file.py signal build/win64/clap-in.wav build/win64/clap-left.wav \
    build/win64/clap-right.wav --rate 48000 --seconds 1 || fail "test signal"
clap_args=(--in build/win64/clap-in.wav --blocks 1,7,512,100,333,64,4096 --set Threshold=-20dB@1000)
"$linux_clap_host" build/release/clap/ZaRoruraroze.clap "${clap_args[@]}" --out build/win64/clap-linux.wav \
    >/dev/null || fail "linux CLAP test host"

# run_clap NAME RUNNER WINE: the Windows build of the CLAP test host against build/NAME's .clap.
run_clap() {
    local name=$1 runner=$2 wine=$3
    local dir=build/$name
    if "$runner" "$dir/tests/clap/clap-test-host.exe" "$dir/clap/ZaRoruraroze.clap" --robustness --check-texts \
        "${clap_args[@]}" --out "$dir/clap-wine.wav" >"$dir/clap-host.log" 2>&1; then
        if cmp -s build/win64/clap-linux.wav "$dir/clap-wine.wav"; then
            echo "$wine: the ${name#win}-bit .clap passes the CLAP test host and renders bit-identically to the Linux build"
        else
            fail "$wine: the ${name#win}-bit .clap's output differs from the Linux build"
        fi
    else
        grep -v '^value' "$dir/clap-host.log" | tail -20
        fail "$wine: CLAP test host"
    fi
}

# The VST 3 bundle in a host on the SDK's own interface headers, with every main control moved: the Linux
# build's audio and bank chunk. The same knob positions in the host (normalised) and the render tool (@).
# Then the side-chain bus on with a key (the signal's channels swapped, listened to): the Linux bundle's
# audio in the same host built for Linux.
source tests/vst3/knobs.sh
# Sd Listen and Sd Source (IDs 2 and 11) on, Side HP at knob 0.5.
key_args=(--set 2=1 --set 11=1 --set 0=0.5)
v3=build/win64/vst3-check
mkdir -p $v3
vst3_ready=0
if cmake --build build/release -j "$jobs" --target zaroruraroze-render >/dev/null &&
    python3 tests/ardour/audio_file.py signal $v3/signal.wav $v3/left.wav $v3/right.wav --seconds 3 &&
    build/release/tools/zaroruraroze-render --plugin build/release/ZaRoruraroze.so --block 1024 --float --quiet \
        "${tool_args[@]}" --save-preset $v3/linux.fxb $v3/signal.wav $v3/linux.wav &&
    python3 tests/ardour/ardour_files.py fxb-bytes $v3/linux.fxb $v3/linux.state &&
    python3 tests/ardour/audio_file.py join $v3/keyed.wav $v3/signal.wav $v3/right.wav $v3/left.wav &&
    linux_sdk_host=$(tests/vst3/hosts/build-sdk-host.sh build/release/sdk-host linux) &&
    "$linux_sdk_host" render build/release/vst3/ZaRoruraroze.vst3 $v3/keyed.wav $v3/linux-keyed.wav \
        "${key_args[@]}" >/dev/null; then
    vst3_ready=1
else
    fail "the VST 3 check under wine could not be set up"
fi

# run_vst3 NAME RUNNER WINE WINE_LOADER: the SDK-header host (built for NAME) against build/NAME's bundle, and on
# an Xvfb display its view in the host's window: the editor's display checks, against the Linux canvas.
run_vst3() {
    local name=$1 runner=$2 wine=$3 loader=$4
    local out=build/$name/vst3-check sdk_host
    [ $vst3_ready -eq 1 ] || return
    mkdir -p "$out"
    if ! sdk_host=$(tests/vst3/hosts/build-sdk-host.sh "build/$name/sdk-host" "$name"); then
        fail "$wine: the VST 3 SDK host did not build"
        return
    fi
    if "$runner" "$sdk_host" render "build/$name/vst3/ZaRoruraroze.vst3" $v3/signal.wav "$out/wine.wav" \
        "${host_args[@]}" --save-state "$out/wine.state" >"$out/wine.log" 2>&1 &&
        python3 tests/ardour/audio_file.py compare $v3/linux.wav "$out/wine.wav" >"$out/compare.log" &&
        cmp -s $v3/linux.state "$out/wine.state" &&
        "$runner" "$sdk_host" render "build/$name/vst3/ZaRoruraroze.vst3" $v3/keyed.wav "$out/wine-keyed.wav" \
            "${key_args[@]}" >>"$out/wine.log" 2>&1 &&
        python3 tests/ardour/audio_file.py compare $v3/linux-keyed.wav "$out/wine-keyed.wav" >>"$out/compare.log"; then
        echo "$wine: the ${name#win}-bit VST 3 bundle, in a host on the SDK's own headers, renders bit-identically to the Linux build (with a key too) and saves its bank chunk"
    else
        cat "$out/wine.log" "$out/compare.log" 2>/dev/null
        fail "$wine: the ${name#win}-bit VST 3 bundle differs from the Linux build"
    fi
    command -v xvfb-run >/dev/null || return
    /usr/lib/wine/wineserver -k 2>/dev/null
    if ZR_EDITOR_KEY=1 xvfb-run -a -s "-screen 0 1600x1200x24" tests/editor/display.sh build/release \
        "build/$name/vst3/ZaRoruraroze.vst3" "$loader" "$sdk_host" editor >"$out/display.log" 2>&1; then
        echo "$wine, the view of the ${name#win}-bit VST 3 bundle on a display: $(grep -c '^PASS' "$out/display.log") checks passed"
    else
        cat "$out/display.log"
        fail "$wine: the view of the ${name#win}-bit VST 3 bundle on a display"
    fi
    /usr/lib/wine/wineserver -k 2>/dev/null
}

# run_editor NAME WINE_LOADER WINE: the editor's tests without a display, then on an Xvfb display the DLL's
# editor in a Windows host window and the .clap's in the CLAP test host's: the display checks of the Linux
# build, against the Linux build's canvas.
run_editor() {
    local name=$1 loader=$2 wine=$3
    local dir=build/$name dll="the ${name#win}-bit DLL"
    if timeout 600 "$loader" "$dir/tests/editor/test_editor.exe" >"$dir/test_editor.log" 2>&1; then
        echo "$wine, editor tests without a display: $(grep -E "^\[  PASSED  \]" "$dir/test_editor.log")"
    else
        cat "$dir/test_editor.log"
        fail "$wine: editor tests"
    fi
    if ! command -v xvfb-run >/dev/null; then
        echo "xvfb-run is not installed (apt-get install xvfb): the editor of $dll is not shown"
        return
    fi
    local log what
    for what in vst clap; do
        # A wine server still up from the runs without a display would keep its desktop without one.
        /usr/lib/wine/wineserver -k 2>/dev/null
        log=$dir/display-$what.log
        if [ $what = vst ]; then
            xvfb-run -a -s "-screen 0 1600x1200x24" tests/editor/display.sh build/release "$dir/ZaRoruraroze.dll" \
                "$loader" "$dir/tests/editor/vst-editor-host.exe" >"$log" 2>&1
        else
            dll="the ${name#win}-bit .clap"
            ZR_EDITOR_KEY=1 xvfb-run -a -s "-screen 0 1600x1200x24" tests/editor/display.sh --plain-values \
                build/release "$dir/clap/ZaRoruraroze.clap" "$loader" "$dir/tests/clap/clap-test-host.exe" --gui >"$log" 2>&1
        fi
        if [ $? -eq 0 ]; then
            echo "$wine, the editor of $dll on a display: $(grep -c '^PASS' "$log") checks passed"
        else
            cat "$log"
            fail "$wine: the editor of $dll on a display"
        fi
    done
    /usr/lib/wine/wineserver -k 2>/dev/null
}

run_dll win64 run_pe64 wine64
run_vst3 win64 run_pe64 wine64 /usr/lib/wine/wine64
run_clap win64 run_pe64 wine64
run_editor win64 /usr/lib/wine/wine64 wine64
case $wine32 in
ready)
    run_dll win32 run_pe32 wine32
    run_vst3 win32 run_pe32 wine32 /usr/lib/wine/wine
    run_clap win32 run_pe32 wine32
    run_editor win32 /usr/lib/wine/wine wine32
    ;;
missing)
    echo "wine32 is not installed: the 32-bit DLL is built and checked but not run; as root:" \
        "dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386"
    [ $status -eq 0 ] && exit 77
    ;;
*) echo "wine32: the 32-bit DLL is $wine32; the i386 step's 32-bit Linux build stands in for it" ;;
esac
exit $status
