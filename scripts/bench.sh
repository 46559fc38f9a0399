#!/usr/bin/env bash
# Builds the plug-in in Release and measures its render cost per layer model, beside a
# third-party VST 2.4 synth (amsynth, from Debian) when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BENCH_BUILD_DIR:-build-release}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target Tavrolune tavrolune-bench-render tavrolune-bench-filters
"$build/bin/tavrolune-bench-render" "$@"
