#!/usr/bin/env bash
# The main job: build the plug-in, show what a host sees of it and render the demo
# phrase through it into a WAV file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
export XDG_CONFIG_HOME="${XDG_CONFIG_HOME:-$PWD/build/home/config}"
export XDG_DATA_HOME="${XDG_DATA_HOME:-$PWD/build/home/data}"
build/bin/tavrolune-host info build/plugin/Tavrolune.so > build/info.txt
head -n 40 build/info.txt
echo "... (all 1024 parameters in build/info.txt)"
build/bin/tavrolune-host render build/plugin/Tavrolune.so --midi tools/demo/demo.mid --out build/demo.wav
echo "wrote build/demo.wav"
