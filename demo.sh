#!/usr/bin/env bash
# The main job: builds the plug-in and shows where it is.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh demo
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
echo "Plug-in: $(ls "$PWD"/build/release/ZaRoruraroze.so 2>/dev/null || echo 'not built yet')"
