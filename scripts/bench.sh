#!/usr/bin/env bash
# Builds the plug-in in Release and measures its render cost per layer model, beside a
# third-party VST 2.4 synth (amsynth, from Debian) when it is installed.
#   scripts/bench.sh --ratio       interleaved time ratios ours / peer (median of 3 pairs)
#   scripts/bench.sh --callgrind   instructions and L1 misses per output sample of the chord,
#                                  ours and the peer's, under valgrind's callgrind
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BENCH_BUILD_DIR:-build-release}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target Tavrolune tavrolune-bench-render tavrolune-bench-filters
"$build/bin/tavrolune-bench-render" "$@"
