#!/usr/bin/env bash
# The LV2 bundle in real LV2 tools: lv2_validate, lv2info, renders by lv2apply (one frame per run) and
# lv2file (1024-frame blocks) against the VST 2 render tool, the key (side-chain) inputs fed from the third
# and fourth channels of the file, the factory presets loaded by lv2file against the same presets' program
# files, and a state saved by one lilv instance and restored into another.
# Usage: hosts.sh BUILD_DIR STATE_HOST
set -uo pipefail
build=$1
state_host=$2
here=$(cd "$(dirname "$0")" && pwd)
audio="python3 $here/../ardour/audio_file.py"
uri=urn:quenderlab:zaroruraroze
bundle=$build/lv2/ZaRoruraroze.lv2
render=$build/tools/zaroruraroze-render

for tool in lv2_validate lv2info lv2apply lv2file python3; do
    if ! command -v $tool >/dev/null; then
        echo "SKIPPED: $tool is not installed (apt-get install lv2-dev lilv-utils lv2file python3)"
        exit 77
    fi
done
export LV2_PATH=$build/lv2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
check() { # check NAME COMMAND...: one line per check
    local name=$1
    shift
    local out
    if out=$("$@" 2>&1); then echo "PASS $name: ${out##*$'\n'}"; else echo "FAIL $name:"; echo "$out"; status=1; fi
}

check "lv2_validate" lv2_validate "$bundle"/*.ttl
info=$(lv2info $uri 2>&1)
controls=$(grep -c 'lv2core#ControlPort' <<<"$info")
# 12 control inputs; the gain reduction, the input and output levels and the 33 band levels as outputs.
check "lv2info: 12 control inputs and 36 meters" test "$controls" -eq 48
check "lv2info: the key inputs at ports 51 and 52, Sd Source at 53" \
    test "$(awk '/^\tPort / { port = $2 } /Symbol: *key_left|Symbol: *key_right|Symbol: *sidechainSource/ { printf "%s%s ", port, $2 }' <<<"$info")" = \
    "51:key_left 52:key_right 53:sidechainSource "
for expected in 'Symbol:      threshold' 'Minimum:     -60.000000' 'Maximum:     12.041200' 'Default:     200.000000' \
    'Symbol:      gainReduction' 'port-props#logarithmic' 'Symbol:      band32' 'port-props#notOnGUI' \
    'Minimum:     0.010000' 'lv2core#isSideChain'; do
    check "lv2info shows '$expected'" grep -qF -- "$expected" <<<"$info"
done

$audio signal "$work/in.wav" "$work/l.wav" "$work/r.wav" --seconds 2
# The LV2 tools take one file for all audio inputs: the signal and a silent key, or the signal and its own
# channels swapped as the key.
$audio join "$work/in-key.wav" "$work/in.wav" "$work/in.wav" --gain-more 0
$audio join "$work/in-swapped.wav" "$work/in.wav" "$work/r.wav" "$work/l.wav"
$audio join "$work/swapped.wav" "$work/r.wav" "$work/l.wav"
# render NAME TOLERANCE "VST settings" "LV2 settings" [LV2 INPUT] [VST INPUT]: the same settings in both
# units
render() {
    local name=$1 tolerance=$2 vst=$3 lv2=$4 lv2_in=${5:-$work/in-key.wav} vst_in=${6:-$work/in.wav}
    local -a vst_args=() apply_args=() file_args=()
    local s
    while IFS= read -r s; do [ -n "$s" ] && vst_args+=(--set "$s"); done <<<"$vst"
    for s in $lv2; do
        apply_args+=(-c "${s%%=*}" "${s#*=}")
        file_args+=(-p "${s%%=*}:${s#*=}")
    done
    "$render" --quiet --float --block 1024 "${vst_args[@]}" "$vst_in" "$work/vst-$name.wav" || { echo "FAIL render $name"; status=1; return; }
    lv2apply -i "$lv2_in" -o "$work/apply-$name.wav" "${apply_args[@]}" $uri >/dev/null 2>&1
    lv2file -b 1024 -i "$lv2_in" -o "$work/file-$name.wav" "${file_args[@]}" $uri >/dev/null 2>&1
    check "lv2apply, $name" $audio compare "$work/vst-$name.wav" "$work/apply-$name.wav" --tolerance "$tolerance"
    check "lv2file -b 1024, $name" $audio compare "$work/vst-$name.wav" "$work/file-$name.wav" --tolerance "$tolerance"
}
render defaults 0 "" ""
render compress 1e-5 $'Threshold=-20dB\nRatio=4\nAttack=5ms\nRelease=80ms\nOut Gain=3dB\nHilbert=on' \
    "threshold=-20 ratio=4 attack=5 release=80 outputGain=3 hilbert=1"
render parallel 1e-5 $'Threshold=-35dB\nRatio=10\nMix=40%\nSide HP=150Hz\nDrive=6dB\nOut Gain=-inf' \
    "threshold=-35 ratio=10 mix=40 sidechainHighpassCutoff=150 drive=6 outputGain=-90"
# The key chosen: a silent one reduces nothing (the law's factor is exactly 1, as at ratio 1), and listening
# plays the filtered key, here the signal's channels swapped.
render "silent key" 0 $'Ratio=1' "sidechainSource=1"
render "key listened to" 0 $'Sd Listen=on\nSide HP=200Hz' "sidechainSource=1 sidechainListen=1 sidechainHighpassCutoff=200" \
    "$work/in-swapped.wav" "$work/swapped.wav"

# Factory presets: lv2info lists one per program file, and each renders as its program file does (their
# make-up takes the test signal past full scale, which lv2file would clip).
presets=$(sed -n '/Presets:/,/^$/p' <<<"$info")
files=("$here"/../../presets/*.fxp)
check "lv2info lists ${#files[@]} presets" test "$(grep -c . <<<"$presets")" -eq $((${#files[@]} + 1))
for file in "${files[@]}"; do
    label=$("$render" --preset "$file" --print-state | sed -n 2p | cut -f2)
    slug=$(basename "$file" .fxp)
    check "lv2info lists '$label'" grep -qxF -- "$(printf '\t         %s' "$label")" <<<"$presets"
    "$render" --quiet --float --block 1024 --preset "$file" "$work/in.wav" "$work/vst-$slug.wav" ||
        { echo "FAIL render $slug"; status=1; continue; }
    lv2file --ignore-clipping -b 1024 -P "$label" -i "$work/in-key.wav" -o "$work/file-$slug.wav" $uri >/dev/null 2>&1
    check "lv2file -P '$label' renders as $slug.fxp" \
        $audio compare "$work/vst-$slug.wav" "$work/file-$slug.wav" --tolerance 1e-5
done

# State: saved by one instance, restored into another; the chunk is the VST 2 bank chunk.
settings="threshold=-20 attack=5 mix=80 hilbert=1"
saved= restored=
if saved=$("$state_host" $uri save "$work/state" $settings) && restored=$("$state_host" $uri restore "$work/state"); then
    check "state restored into a second instance: same chunk and controls" test "$saved" = "$restored"
    program=$("$render" --print-state --set Threshold=-20dB --set Attack=5ms --set Mix=80% --set Hilbert=on)
    bank=$(printf 'presetList\n\tPreset\n'; sed 's/^/\t\t/' <<<"$program")
    check "state chunk equals the VST 2 bank chunk" test "$(sed -n '/^presetList$/,/^[a-zA-Z]*=/p' <<<"$saved" | sed '$d')" = "$bank"
else
    echo "FAIL state host: $saved $restored"
    status=1
fi
exit $status
