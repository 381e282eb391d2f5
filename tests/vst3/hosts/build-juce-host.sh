#!/usr/bin/env bash
# Builds the JUCE test host (JuceVst3Host.cpp over Debian's juce-modules-source) into a folder and prints
# the executable's path. The JUCE modules take a few minutes of one core, so their objects stay in the
# folder and later runs only rebuild what is older than this script (the host itself when older than its
# sources).
#
# Usage: tests/vst3/hosts/build-juce-host.sh OUT_FOLDER
# Exits 77 when JUCE's module sources are not installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: build-juce-host.sh OUT_FOLDER}
modules=/usr/share/juce/modules
jobs=${ZR_JUCE_JOBS:-2}

if [ ! -f "$modules/juce_audio_processors/juce_audio_processors.h" ]; then
    echo "JUCE's module sources are missing (apt-get install juce-modules-source): skipped" >&2
    exit 77
fi

names=(juce_core juce_events juce_data_structures juce_graphics juce_gui_basics juce_gui_extra juce_audio_basics
    juce_audio_processors)
# A headless host: VST 3 hosting only, no web view, no X extensions, no splash screen.
defines=(-DJUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1 -DJUCE_STANDALONE_APPLICATION=1 -DJUCE_PLUGINHOST_VST3=1
    -DJUCE_PLUGINHOST_VST=0 -DJUCE_PLUGINHOST_LV2=0 -DJUCE_PLUGINHOST_LADSPA=0 -DJUCE_WEB_BROWSER=0
    -DJUCE_USE_CURL=0 -DJUCE_USE_XRANDR=0 -DJUCE_USE_XINERAMA=0 -DJUCE_USE_XSHM=0 -DJUCE_USE_XRENDER=0
    -DJUCE_USE_XCURSOR=0 -DJUCE_MODAL_LOOPS_PERMITTED=1 -DJUCE_DISPLAY_SPLASH_SCREEN=0 -DNDEBUG=1)
for name in "${names[@]}"; do defines+=("-DJUCE_MODULE_AVAILABLE_$name=1"); done
flags=(-std=c++17 -O1 -w -fPIC -I"$modules" -I"$modules/juce_audio_processors/format_types/VST3_SDK"
    -I/usr/include/freetype2)
cxx=${CXX:-c++}

mkdir -p "$out"
objects=()
stale=()
for name in "${names[@]}"; do
    objects+=("$out/$name.o")
    [ -f "$out/$name.o" ] && [ "$out/$name.o" -nt "$here/build-juce-host.sh" ] || stale+=("$name")
done
if [ ${#stale[@]} -gt 0 ]; then
    echo "building JUCE modules (${stale[*]}): a few minutes" >&2
    printf '%s\n' "${stale[@]}" | xargs -P "$jobs" -I{} \
        "$cxx" "${flags[@]}" "${defines[@]}" -c "$modules/{}/{}.cpp" -o "$out/{}.o.part"
    for name in "${stale[@]}"; do mv "$out/$name.o.part" "$out/$name.o"; done
fi
binary="$out/juce-vst3-host"
if [ ! -x "$binary" ] || [ "$here/JuceVst3Host.cpp" -nt "$binary" ] || [ "$here/FloatWav.h" -nt "$binary" ] ||
    [ "$here/build-juce-host.sh" -nt "$binary" ]; then
    "$cxx" "${flags[@]}" "${defines[@]}" "$here/JuceVst3Host.cpp" "${objects[@]}" \
        -lfreetype -lz -lpng -ljpeg -lpthread -ldl -lrt -o "$binary.part"
    mv "$binary.part" "$binary"
fi
echo "$binary"
