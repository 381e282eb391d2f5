#!/usr/bin/env bash
# The CLAP plug-in in hosts that are not ours alone. First our test host (built against Debian's CLAP headers
# and nothing of ours) must reproduce known results on a peer plug-in that DPF's own CLAP wrapper makes here
# from dpf-source; only then do its results on our plug-in count: descriptor, ports and parameters, texts
# that read back, hostile calls, renders equal to the render tool's (bit for bit, in any block pattern, in
# place, with one input buffer, without stop_processing), events at their frame, the state equal to the
# VST 2 bank chunk and loaded from it, the meter's events, the key on the side-chain port driving the
# detector when chosen and no key when the host passes only the main port. Then qtractor: its scanner lists
# the plug-in, and
# a headless session (offscreen Qt, a private dummy JACK server, a stand-in for the ALSA sequencer) plays
# audio through it with the state the session holds. Every process started here is stopped by its id on
# exit. Exits 77 with "skipped" when a package it needs is missing.
#
# Usage: tests/clap/run.sh [BUILD]           BUILD: the build folder (default build/release; built here)
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
scanner=$(ls /usr/lib/*/qtractor/qtractor_plugin_scan 2>/dev/null | head -n 1)
for need in "dpf-source:/usr/share/dpf/distrho/src/clap/entry.h" "qtractor:$scanner" \
    "jackd2:/usr/bin/jackd" "libasound2-dev:/usr/include/alsa/asoundlib.h"; do
    if [ ! -e "${need#*:}" ] || [ -z "${need#*:}" ]; then
        echo "clap: ${need%%:*} is not installed (apt-get install ${need%%:*}): skipped"
        exit 77
    fi
done

build=${1:-$root/build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" --preset release -B "$build" >/dev/null || exit 1
fi
timeout 1200 cmake --build "$build" -j2 --target ZaRorurarozeClap clap-test-host zaroruraroze-render ZaRoruraroze \
    jackloop >/dev/null || { echo "clap: the plug-in, the test host or the tools did not build"; exit 1; }
plugin=$build/clap/ZaRoruraroze.clap
host=$build/tests/clap/clap-test-host
render=$build/tools/zaroruraroze-render
audio="python3 $root/tests/ardour/audio_file.py"

mkdir -p "$root/build" && work=$(mktemp -d "$root/build/clap.XXXXXX") || exit 1
source "$root/tests/support/harness.sh"
cleanup() {
    stop_started
    [ $failed -eq 0 ] && rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP PIPE

# has LOG PATTERN: the log holds a line matching the extended regular expression.
has() { grep -qE -- "$2" "$1" || { echo "    no /$2/ in $1:" && grep -v '^value' "$1" | sed 's/^/    | /' | tail -8; return 1; }; }
# clean LOG: the host counted no error and no call on a wrong thread.
clean() { has "$1" '^thread violations 0$' && has "$1" '^errors 0$'; }
# runs NAME PLUGIN ARGS...: the test host into NAME.log; errors on stderr (DPF's assertions) go to NAME.err.
runs() {
    local name=$1
    shift
    timeout 120 "$host" "$@" >"$work/$name.log" 2>"$work/$name.err"
}
# frames A.wav B.wav FROM GAIN TOLERANCE: A's frames before FROM equal B's; from FROM on, A equals B times
# GAIN within TOLERANCE (relative; 0 where the product is exact).
frames() {
    python3 -c '
import sys
sys.path.insert(0, sys.argv[6])
from audio_file import read_wav
a, b = read_wav(sys.argv[1]), read_wav(sys.argv[2])
start, gain, tolerance = int(sys.argv[3]), float(sys.argv[4]), float(sys.argv[5])
bad = 0
for ca, cb in zip(a.channels, b.channels):
    for n, (x, y) in enumerate(zip(ca, cb)):
        want = y if n < start else y * gain
        if abs(x - want) > tolerance * abs(want): bad += 1
print("    %d of %d samples off" % (bad, 2 * a.frames))
sys.exit(bad != 0 or a.frames != b.frames)
' "$@" "$root/tests/ardour"
}
# bank_chunk FILE.fxb OUT: the chunk a bank file holds (after its 160-byte header).
bank_chunk() {
    python3 -c 'import struct, sys
d = open(sys.argv[1], "rb").read()
open(sys.argv[2], "wb").write(d[160:160 + struct.unpack(">I", d[156:160])[0]])' "$1" "$2"
}

$audio signal "$work/in.wav" "$work/left.wav" "$work/right.wav" --rate 48000 --seconds 2 || exit 1
# Four channels, a signal and its key: the signal with a silent key, or with its own channels swapped.
$audio join "$work/in-key.wav" "$work/in.wav" "$work/in.wav" --gain-more 0
$audio join "$work/in-swapped.wav" "$work/in.wav" "$work/right.wav" "$work/left.wav"
# A 1 kHz sine at 0.5 and, as the key, the same at 0.05 (-26.0206 dB): 1 s at 48 kHz.
python3 -c '
import math, sys
sys.path.insert(0, sys.argv[2])
from array import array
from audio_file import write_wav_float
main = array("f", [0.5 * math.sin(2 * math.pi * 1000 * n / 48000) for n in range(48000)])
key = array("f", [0.05 * math.sin(2 * math.pi * 1000 * n / 48000) for n in range(48000)])
write_wav_float(sys.argv[1], 48000, [main, main, key, key])' "$work/sine-key.wav" "$root/tests/ardour"

echo "the test host against DPF's peer plug-in (tests/clap/peer, built now from dpf-source):"
start=$EPOCHREALTIME
if timeout 300 make -s -C "$here/peer" DPF_BUILD_DIR="$work/peer-build" DPF_TARGET_DIR="$work/peer" \
    >"$work/peer-make.log" 2>&1 && [ -f "$work/peer/PeerGain.clap" ]; then
    pass "PeerGain.clap built in $(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }') s"
else
    fail "PeerGain.clap builds" && tail "$work/peer-make.log"
fi
peer=$work/peer/PeerGain.clap
before=$failed
runs peer-describe "$peer" --describe
check "peer: ports and parameters as declared, the output parameter read-only" eval \
    'has "$work/peer-describe.log" "^port in 0 id 0 .* channels 2 .* main" &&
     has "$work/peer-describe.log" "^param 1 id 1 \"Peak\" min -60 max 0 .* readonly" &&
     clean "$work/peer-describe.log"'
# -6 dB on a sine at 0.5 (RMS 0.3536): 0.1772; its peak, -6.02 dB, comes back as output events.
runs peer-gain "$peer" --set Gain=-6 --blocks 1,7,512
check "peer: -6 dB set from text gives RMS 0.1772, the input's peak -6.0206 dB comes back as events" eval \
    'has "$work/peer-gain.log" "rms 0.1772 0.1772" &&
     has "$work/peer-gain.log" "^out events: param 1 sent [0-9]+ values, last -6.0206" && clean "$work/peer-gain.log"'
# DPF applies a block's events at its start (DistrhoPluginCLAP.cpp): an event at frame 1000 acts from 512.
runs peer-step "$peer" --in "$work/in.wav" --out "$work/peer-step.wav" --set Gain=-6@1000 --blocks 512
check "peer: an event at frame 1000 reaches the block that holds it (DPF applies it from frame 512)" \
    frames "$work/peer-step.wav" "$work/in.wav" 512 0.50118723 1e-6
runs peer-save "$peer" --set Gain=-6 --stream-bytes 4096 --save "$work/peer.state"
runs peer-load "$peer" --load "$work/peer.state"
check "peer: the state read back through 3-byte reads restores -6 dB" eval \
    'clean "$work/peer-save.log" && has "$work/peer-load.log" "rms 0.1772 0.1772" && clean "$work/peer-load.log"'
# DPF 1.6's save loop does not advance its buffer (DistrhoPluginCLAP.cpp, stateSave): a stream that takes
# 3 bytes a call gets the state's first 3 bytes over and over.
runs peer-save3 "$peer" --set Gain=-6 --save "$work/peer3.state"
check "peer: a stream taking 3 bytes a call gets DPF 1.6's known repeats of the first 3 bytes" python3 -c '
import sys
a, b = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
sys.exit(not (len(a) == len(b) and a == (b[:3] * len(b))[:len(b)]))' "$work/peer3.state" "$work/peer.state"
# DPF refuses a block with fewer input buffers than ports (DistrhoPluginCLAP.cpp): process answers error.
runs peer-noinput "$peer" --inputs 0 --out "$work/peer-noinput.wav"
check "peer: without input buffers DPF answers every block with an error" \
    has "$work/peer-noinput.log" "process errors [1-9]"
# The side-chain port gets the file's last two channels: the key's peak, the main's unchanged.
runs peer-key "$peer" --describe --in "$work/sine-key.wav" --out "$work/peer-key.wav" --blocks 256
check "peer: its side-chain port, input 1, reads a four-channel file's key: peaks -6.0206 and -26.0206 dB" eval \
    'has "$work/peer-key.log" "^port in 1 id [0-9]+ .* channels 2 " &&
     has "$work/peer-key.log" "^out events: param 1 sent [0-9]+ values, last -6.0206" &&
     has "$work/peer-key.log" "^out events: param 2 sent [0-9]+ values, last -26.0206" && clean "$work/peer-key.log"'
qualified=$((failed == before))

echo "the test host against ZaRoruraroze.clap:"
if [ $qualified -eq 0 ]; then
    fail "the test host did not reproduce the peer's known results: its results here do not count"
    echo "clap: $passed passed, $failed failed"
    exit 1
fi
runs describe "$plugin" --describe --check-texts --robustness
check "descriptor, ports, parameters, meter, latency, texts and hostile calls" eval \
    'has "$work/describe.log" "^id com.quenderlab.zaroruraroze$" &&
     has "$work/describe.log" "^features audio-effect compressor stereo$" &&
     has "$work/describe.log" "^port in 0 id 0 \"Main In\" channels 2 type stereo main in-place 0$" &&
     has "$work/describe.log" "^port in 1 id 1 \"Side-chain\" channels 2 type stereo in-place -1$" &&
     has "$work/describe.log" "^port out 0 id 0 \"Main Out\" channels 2 type stereo main in-place 0$" &&
     has "$work/describe.log" "^param 2 id 2 \"Sd Listen\" min 0 max 1 default 0 .* stepped automatable$" &&
     has "$work/describe.log" "^param 11 id 11 \"Sd Source\" min 0 max 1 default 0 .* text \"own input\" stepped automatable$" &&
     has "$work/describe.log" "^param 12 id 65536 \"Gain Reduction\" min 0 max 60 default 0 .* readonly$" &&
     [ "$(grep -c "^param " "$work/describe.log")" -eq 13 ] && has "$work/describe.log" "^latency 0$" &&
     has "$work/describe.log" "^texts: [0-9]+ read back" && clean "$work/describe.log"'

timeout 120 "$render" --quiet --float --block 256 "$work/in.wav" "$work/render-default.wav"
for way in "--blocks 1,7,512,100,333,64,4096" "--blocks 256 --in-place" "--blocks 4096 --inputs 1 --no-stop"; do
    # shellcheck disable=SC2086
    runs default "$plugin" --in "$work/in.wav" --out "$work/default.wav" $way
    check "default settings ($way) render as the render tool's, bit for bit" eval \
        'clean "$work/default.log" &&
         $audio compare "$work/default.wav" "$work/render-default.wav" --tolerance 0 | grep -q identical'
done

settings=(Threshold=-20dB Ratio=4 Attack=10ms Release=100ms Hilbert=on "Out Gain=-3dB" "Side HP=40" Mix=80%)
args=()
for s in "${settings[@]}"; do args+=(--set "$s"); done
timeout 120 "$render" --quiet --float --block 256 "${args[@]}" --save-preset "$work/render.fxb" \
    "$work/in.wav" "$work/render-set.wav"
bank_chunk "$work/render.fxb" "$work/render.chunk"
runs set "$plugin" --in "$work/in.wav" --out "$work/set.wav" --blocks 7,512,1 "${args[@]}" --save "$work/set.state"
check "settings from text render as the render tool's, and the state is its VST 2 bank chunk" eval \
    'clean "$work/set.log" && $audio compare "$work/set.wav" "$work/render-set.wav" --tolerance 0 | grep -q identical &&
     cmp "$work/set.state" "$work/render.chunk"'
runs loaded "$plugin" --in "$work/in.wav" --out "$work/loaded.wav" --load "$work/render.chunk" --save "$work/loaded.state"
check "the VST 2 bank chunk loaded as the state renders the same and saves unchanged" eval \
    'clean "$work/loaded.log" && cmp "$work/loaded.state" "$work/render.chunk" &&
     $audio compare "$work/loaded.wav" "$work/render-set.wav" --tolerance 0 | grep -q identical'

# The key chosen (Sd Source set from its text): a silent key reduces nothing (the law's factor is exactly 1,
# as at ratio 1); the signal's channels swapped as the key compress as the signal itself (the detector links
# both channels alike); with only the main port's buffer, as qtractor passes, there is no key.
timeout 120 "$render" --quiet --float --block 256 --set Ratio=1 "$work/in.wav" "$work/render-ratio1.wav"
# key_run NAME FILE EXPECTED ARGS...: with the key chosen, FILE renders as EXPECTED.wav, bit for bit.
key_run() {
    local name=$1 file=$2 expected=$3
    shift 3
    runs "$name" "$plugin" --in "$work/$file" --out "$work/$name.wav" --set "Sd Source=key" "$@" &&
        clean "$work/$name.log" &&
        $audio compare "$work/$name.wav" "$work/$expected.wav" --tolerance 0 | grep -q identical
}
check "key chosen: a silent key reduces nothing (as ratio 1), in any block pattern" \
    key_run key-silent in-key.wav render-ratio1 --blocks 1,7,512,100
check "key chosen: the signal's channels swapped as its key compress as the signal itself" \
    key_run key-swapped in-swapped.wav render-default --blocks 4096
check "key chosen, only the main port's buffer (as qtractor passes): no key, the signal's own detection" \
    key_run key-main in-key.wav render-default --inputs 1

# Out Gain 0.5 scales the output exactly: from the event's frame on, the render tool's output times 0.5.
runs step "$plugin" --in "$work/in.wav" --out "$work/step.wav" --value "Out Gain=0.5@1000" --blocks 512
check "an event inside a block takes effect at its frame (1000)" eval \
    'clean "$work/step.log" && frames "$work/step.wav" "$work/render-default.wav" 1000 0.5 0'
runs cycles "$plugin" --in "$work/in.wav" --cycles 3 --blocks 64
check "activate and deactivate three times: the cycles agree (their noise aside)" eval \
    'clean "$work/cycles.log" && has "$work/cycles.log" "^largest difference between cycles [0-9.e-]+$" &&
     awk "/^largest difference/ { exit !(\$5 < 1e-5) }" "$work/cycles.log"'
runs noinput "$plugin" --inputs 0 --out "$work/noinput.wav"
check "without an input buffer: no error, silence in" eval \
    'clean "$work/noinput.log" && has "$work/noinput.log" "process errors 0; rms 0.0000 0.0000"'
runs meter "$plugin" --set Threshold=-30dB --set Ratio=4 --blocks 256 --wrong-thread-save
check "the gain reduction goes out as events and get_value agrees; a save off the main thread is refused" eval \
    'clean "$work/meter.log" && has "$work/meter.log" "^state.save off the main thread: refused$" &&
     last=$(sed -n "s/^out events: param 65536 sent [1-9][0-9]* values, last //p" "$work/meter.log") &&
     awk -v v="$last" "/^value 65536 / { got = \$3 } END { exit !(v > 0 && v <= 60 && (got - v) ^ 2 < 1e-8) }" \
         "$work/meter.log"'

echo "qtractor:"
echo "CLAP:$plugin" | timeout 60 "$scanner" >"$work/scan.log" 2>"$work/scan.err"
check "qtractor_plugin_scan lists it: 2 audio inputs and outputs (the side-chain is not a main port), 12 controls in and 1 out, an editor" \
    has "$work/scan.log" "^CLAP\|ZaRoruraroze\|2:2\|0:0\|12:1\|GUI,EXT,RT\|$plugin\|0\|"

# The headless session: its state is the render tool's bank chunk for the settings above.
gcc -shared -fPIC -Wall -o "$work/seq-stub.so" "$here/qtractor/AlsaSeqStub.c" -lasound ||
    fail "the ALSA sequencer stand-in builds"
python3 "$here/qtractor/make_session.py" "$work/session.qtr" "$plugin" "$work/render.chunk"
export JACK_DEFAULT_SERVER=zrclap-$$-$RANDOM
# Not under timeout either: a server whose client was killed may take more than the cleanup's 3 s to end,
# and then the server itself is killed, not a wrapper around it.
jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
disown $!
if timeout 10 jack_wait -w -t 5 >/dev/null 2>&1; then
    mkdir -p "$work/home"
    # Not under timeout: the tap's connections mark the session changed, so qtractor answers TERM with a
    # question no one sees, and the cleanup must kill qtractor itself after 3 s. Out of the job table, so
    # the shell does not report that.
    HOME=$work/home QT_QPA_PLATFORM=offscreen LD_PRELOAD=$work/seq-stub.so qtractor "$work/session.qtr" \
        >"$work/qtractor.log" 2>&1 &
    pids+=($!)
    disown $!
    for ((i = 0; i < 200; i++)); do
        timeout 5 jack_lsp 2>/dev/null | grep -q "^Qtractor:Master/out_2$" && break
        sleep 0.05
    done
    # Qtractor stops listening to its inputs in freewheel mode: the loop runs at the driver's pace.
    timeout 60 "$build/tests/jack/jackloop" --realtime \
        "Qtractor:Master/in_1,Qtractor:Master/in_2,Qtractor:Master/out_1,Qtractor:Master/out_2" \
        "$work/in.wav" "$work/qtractor.wav"
    # The plug-in has run since qtractor started, so its noise generator stands elsewhere (below 4.3e-6).
    check "a session plays through it with the state it holds, as the render tool does (within 1e-5)" eval \
        '$audio compare "$work/qtractor.wav" "$work/render-set.wav" --tolerance 1e-5 | sed "s/^/    /" &&
         $audio compare "$work/qtractor.wav" "$work/render-default.wav" --tolerance 1e-5 --differ >/dev/null'
else
    fail "a private JACK server starts"
fi

echo "clap: $passed passed, $failed failed"
[ $failed -eq 0 ]
