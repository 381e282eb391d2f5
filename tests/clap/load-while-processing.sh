#!/usr/bin/env bash
# A state loaded on the main thread while the audio thread processes (as qtractor does) reaches the audio
# thread whole: the rest of the audio follows it (Out Gain 0.5 halves the output exactly), and the state
# saved afterwards is the one loaded, byte for byte. CTest runs it in every build, ThreadSanitizer's among
# them, with ZR_CLAP_HOST and ZR_CLAP_PLUGIN set.
# Usage: load-while-processing.sh WORK_FOLDER
set -euo pipefail
work=$1
here=$(cd "$(dirname "$0")" && pwd)
"$ZR_CLAP_HOST" "$ZR_CLAP_PLUGIN" --value "Out Gain=0.5" --save "$work/half.state" >"$work/first.log"
"$ZR_CLAP_HOST" "$ZR_CLAP_PLUGIN" --blocks 16,1,64 --out "$work/plain.wav" >"$work/plain.log"
"$ZR_CLAP_HOST" "$ZR_CLAP_PLUGIN" --blocks 16,1,64 --load-during "$work/half.state@8000" --no-stop \
    --save "$work/after.state" --out "$work/loaded.wav" >"$work/loaded.log" || { cat "$work/loaded.log"; exit 1; }
cmp "$work/half.state" "$work/after.state"
# The last tenth of a second: the plain output halved, exactly.
python3 -c '
import sys
sys.path.insert(0, sys.argv[1])
from audio_file import read_wav
loaded, plain = read_wav(sys.argv[2]), read_wav(sys.argv[3])
off = sum(x != 0.5 * y for a, b in zip(loaded.channels, plain.channels) for x, y in zip(a[-4800:], b[-4800:]))
print("%d samples of the last 4800 frames differ from the plain output halved" % off)
sys.exit(off != 0)' "$here/../ardour" "$work/loaded.wav" "$work/plain.wav"
