#!/usr/bin/env bash
# The benchmark: builds the plug-in and bench/FrameBench.cpp in release mode (build/bench) and prints, in one
# run, ns per stereo frame and the realtime factor at 44.1 kHz, block 512, for the detector's tick (quadrature
# detection off and on), ZaRorurarozePlugin::process in process, and the plug-in binary driven through its
# VST 2 interface by the render tool's host code, on every detector path this CPU has; then the same host
# loop over installed peer compressors with their cost relative to ours, and a minute of digital silence
# against the test signal. As root it installs what is missing, the peers included; otherwise the peers
# that are missing are skipped with a message.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh bench

# Peer plug-ins timed through the same loop (other products, loaded only to time them).
peers=(zam-plugins lsp-plugins-vst lsp-plugins-lv2)
missing=()
for p in "${peers[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing the peer plug-ins: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    else
        echo "Peer plug-ins missing (${missing[*]}): they are skipped. As root: apt-get install ${missing[*]}"
    fi
fi

cmake --preset bench >/dev/null
cmake --build build/bench -j "$(nproc)" --target bench_frames >/dev/null
build/bench/bench/bench_frames

# The editor on the GUI thread: a full repaint at each scale, and an idle step at rest.
echo
cmake --build build/bench -j "$(nproc)" --target bench_editor >/dev/null
build/bench/bench/bench_editor

# lv2bench (lilv-utils) times 10 s at 48 kHz in 512-frame blocks: ours beside LSP's stereo compressor.
if command -v lv2bench >/dev/null; then
    echo
    echo "lv2bench -b 512 -n 480000 (seconds for 10 s of audio at 48 kHz)"
    for uri in urn:quenderlab:zaroruraroze http://lsp-plug.in/plugins/lv2/compressor_stereo; do
        LV2_PATH=$PWD/build/bench/lv2:/usr/lib/lv2 lv2bench -b 512 -n 480000 "$uri" 2>/dev/null | grep -F "$uri" ||
            echo "  $uri: not available"
    done
fi
