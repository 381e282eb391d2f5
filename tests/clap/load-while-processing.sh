#!/usr/bin/env bash
# A state loaded on the main thread while the audio thread processes (as qtractor does) reaches the audio
# thread whole: the state saved afterwards is the one loaded, byte for byte. CTest runs it in every build,
# ThreadSanitizer's among them, with ZR_CLAP_HOST and ZR_CLAP_PLUGIN set.
# Usage: load-while-processing.sh WORK_FOLDER
set -euo pipefail
work=$1
"$ZR_CLAP_HOST" "$ZR_CLAP_PLUGIN" --set Threshold=-30dB --set Ratio=4 --set Hilbert=on \
    --save "$work/loaded.state" >"$work/first.log"
"$ZR_CLAP_HOST" "$ZR_CLAP_PLUGIN" --blocks 16,1,64 --load-during "$work/loaded.state@20000" --no-stop \
    --save "$work/after.state" >"$work/second.log" || { cat "$work/second.log"; exit 1; }
cmp "$work/loaded.state" "$work/after.state"
