#!/usr/bin/env bash
# The VST 3 bundle in a second, independent host: JUCE's VST3PluginFormat (built here on first use and
# kept in the build folder). JUCE scans the bundle and lists the class, its buses (the side-chain off) and
# the parameters with their units and steps, every text it shows reads back, it renders what the render
# tool renders with the same knob positions, bit for bit, a state it saved reloads to the same audio, and
# with the side-chain bus on, the key drives the detector.
#
# Usage: tests/vst3/hosts.sh BUILD_FOLDER      (exits 77 when JUCE's module sources are not installed)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: hosts.sh BUILD_FOLDER}" && pwd)
bundle="$build/vst3/ZaRoruraroze.vst3"
render_tool="$build/tools/zaroruraroze-render"
audio_file="$here/../ardour/audio_file.py"

host=$("$here/hosts/build-juce-host.sh" "$build/juce-host")
status=$?
[ $status -eq 77 ] && exit 77
[ $status -eq 0 ] || { echo "FAIL  cannot build the JUCE host"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/zr-vst3-hosts.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
check() { # check TEXT COMMAND...
    if "${@:2}"; then echo "PASS  $1"; else echo "FAIL  $1"; failed=$((failed + 1)); fi
}

"$host" info "$bundle" >"$work/info" 2>"$work/info.log" || { cat "$work/info.log"; echo "FAIL  JUCE cannot load the bundle"; exit 1; }
expected_info() {
    printf 'plugin\tZaRoruraroze\tOrrel @ Quenderlab\tFx|Dynamics\t1.0.0\t2\t2\n'
    printf 'bus\tin\t0\tInput\t2\t1\nbus\tin\t1\tSide-chain\t0\t0\nbus\tout\t0\tOutput\t2\t1\n'
    # index, ID, name, unit, steps (a switch has 2; continuous ones JUCE's "many"), discrete, automatable
    local i=0 line
    while IFS='|' read -r name unit steps; do
        printf 'param\t%d\t%d\t%s\t%s\t%s\n' $i $i "$name" "$unit" "$steps"
        i=$((i + 1))
    done <<'LIST'
Side HP|Hz|2147483647	0	1
Side LP|Hz|2147483647	0	1
Sd Listen||2	1	1
Drive|dB|2147483647	0	1
Attack|s|2147483647	0	1
Release|s|2147483647	0	1
Hilbert||2	1	1
Threshold|dB|2147483647	0	1
Ratio|dB/dB|2147483647	0	1
Out Gain|dB|2147483647	0	1
Mix|%|2147483647	0	1
Sd Source||2	1	1
Gain Reduction|dB|2147483647	0	0
LIST
}
check "JUCE lists ZaRoruraroze (Fx|Dynamics, stereo buses, the side-chain off), the twelve parameters by full name with units and steps, and the meter as a read-only thirteenth" \
    diff <(expected_info) <(awk -F'\t' 'BEGIN { OFS = "\t" } $1 == "param" { NF = 8 } $1 != "texts" && $1 != "unreadable"' "$work/info")
texts=$(awk -F'\t' '$1 == "texts" { read += $3; tried += $4 } END { print read "/" tried }' "$work/info")
check "every text JUCE shows for a parameter reads back as the same value ($texts)" \
    awk -F'\t' '$1 == "unreadable" { print; bad = 1 } $1 == "texts" && $3 != $4 { bad = 1 } END { exit bad }' "$work/info"

# Every main control moved: the same knob positions in JUCE (normalised) and the render tool (@).
source "$here/knobs.sh"
python3 "$audio_file" signal "$work/signal.wav" "$work/left.wav" "$work/right.wav" --seconds 3
"$render_tool" --plugin "$build/ZaRoruraroze.so" --block 1024 --float --quiet "${tool_args[@]}" \
    "$work/signal.wav" "$work/tool.wav"
check "JUCE renders the render tool's audio bit for bit with the same knob positions" \
    eval '"$host" render "$bundle" "$work/signal.wav" "$work/juce.wav" "${host_args[@]}" --save-state "$work/juce.state" &&
        python3 "$audio_file" compare "$work/tool.wav" "$work/juce.wav"'
check "a state JUCE saved reloads in a fresh JUCE to the same audio" \
    eval '"$host" render "$bundle" "$work/signal.wav" "$work/reloaded.wav" --load-state "$work/juce.state" &&
        python3 "$audio_file" compare "$work/juce.wav" "$work/reloaded.wav"'

# The side-chain bus on, Sd Source (ID 11) on "key": a silent key reduces nothing (the law's factor is
# exactly 1, as at ratio 1); the signal's channels swapped as the key compress as the signal itself (the
# detector links both channels alike).
python3 "$audio_file" join "$work/silent-key.wav" "$work/signal.wav" "$work/signal.wav" --gain-more 0
python3 "$audio_file" join "$work/swapped-key.wav" "$work/signal.wav" "$work/right.wav" "$work/left.wav"
"$render_tool" --plugin "$build/ZaRoruraroze.so" --block 1024 --float --quiet --set Ratio=1 \
    "$work/signal.wav" "$work/ratio1.wav"
"$render_tool" --plugin "$build/ZaRoruraroze.so" --block 1024 --float --quiet "$work/signal.wav" "$work/default.wav"
check "with the side-chain bus on, a silent key reduces nothing and the signal as its own key compresses as without" \
    eval '"$host" render "$bundle" "$work/silent-key.wav" "$work/silent.wav" --set 11=1 &&
        python3 "$audio_file" compare "$work/ratio1.wav" "$work/silent.wav" &&
        "$host" render "$bundle" "$work/swapped-key.wav" "$work/swapped.wav" --set 11=1 &&
        python3 "$audio_file" compare "$work/default.wav" "$work/swapped.wav"'
[ $failed -eq 0 ]
