#!/usr/bin/env bash
# The main job: builds the plug-in and the render tool, makes the project's demo music and renders it
# through the plug-in binary twice - at the default settings and at a heavier setting - printing both
# summaries and leaving the sound files and pictures in demo/.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh demo
cmake --preset release >/dev/null
cmake --build build/release -j "$(nproc)" --target ZaRoruraroze zaroruraroze-render make-demo-signal

render=build/release/tools/zaroruraroze-render
plugin=build/release/ZaRoruraroze.so
if [ ! -f "$plugin" ]; then
    echo "The plug-in was not built: $plugin is missing." >&2
    exit 1
fi
out=demo
mkdir -p "$out"
build/release/tools/make-demo-signal "$out/input.wav"

# Heavier: a threshold 20 dB down with a 4:1 ratio, fast attack and release, and part of the loss made
# up.
heavy=(--set Threshold=-20dB --set Ratio=4 --set Attack=5ms --set Release=80ms --set "Out Gain=+9dB")

# run NAME SETTINGS...: renders the demo, keeps the full report (with the transfer-curve table) in
# NAME.txt and prints the summary part of it.
run() {
    local name=$1
    shift
    "$render" --plugin "$plugin" "$@" "$out/input.wav" "$out/$name.wav" --plot "$out/$name-levels.png" \
        --curve "$out/$name-curve.png" --save-preset "$out/$name.fxp" >"$out/$name.txt"
    sed '/^transfer curve/,$d' "$out/$name.txt"
}

echo
echo "=== Default settings"
run default
echo
echo "=== Heavier: ${heavy[*]}"
run heavy "${heavy[@]}"

echo
echo "Everything is in $PWD/$out:"
ls -1 "$out" | sed 's/^/  /'
echo "Plug-in: $PWD/$plugin"
echo "What each control does, the factory presets and every build: $PWD/docs/manual.md"
