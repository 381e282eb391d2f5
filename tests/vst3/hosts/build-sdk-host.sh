#!/usr/bin/env bash
# Builds the SDK-header test host (SdkVst3Host.cpp over the VST 3 interface headers in Debian's
# juce-modules-source-data) into a folder and prints the executable's path; a build newer than its
# sources is kept.
#
# Usage: tests/vst3/hosts/build-sdk-host.sh OUT_FOLDER [linux|win64|win32]
# Exits 77 when the headers (or, for win64, mingw-w64) are not installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: build-sdk-host.sh OUT_FOLDER [linux|win64|win32]}
target=${2:-linux}
sdk=/usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK

if [ ! -f "$sdk/pluginterfaces/vst/ivstaudioprocessor.h" ]; then
    echo "the VST 3 interface headers are missing (apt-get install juce-modules-source-data): skipped" >&2
    exit 77
fi
case "$target" in
linux) cxx=${CXX:-c++} binary="$out/sdk-vst3-host" libs=(-ldl -lX11) ;;
win64 | win32)
    cxx=x86_64-w64-mingw32-g++-posix
    [ "$target" = win32 ] && cxx=i686-w64-mingw32-g++-posix
    binary="$out/sdk-vst3-host.exe" libs=(-static -static-libgcc -static-libstdc++ -luser32)
    command -v "$cxx" >/dev/null || { echo "mingw-w64 is missing (apt-get install mingw-w64): skipped" >&2; exit 77; }
    ;;
*) echo "unknown target $target" >&2; exit 2 ;;
esac
mkdir -p "$out"
# The editor steps and frame window are the display tests' own (tests/editor).
editor=$here/../../editor
if [ ! -x "$binary" ] || [ "$here/SdkVst3Host.cpp" -nt "$binary" ] || [ "$here/FloatWav.h" -nt "$binary" ] ||
    [ "$here/build-sdk-host.sh" -nt "$binary" ] || [ "$editor/EditorHostSession.h" -nt "$binary" ] ||
    [ "$editor/HostFrame.h" -nt "$binary" ]; then
    "$cxx" -std=c++17 -O2 -w -I"$sdk" -I"$editor" "$here/SdkVst3Host.cpp" "${libs[@]}" -o "$binary.part"
    mv "$binary.part" "$binary"
fi
echo "$binary"
