#!/usr/bin/env bash
# Where the render loop's instructions (or cache misses) go per output sample: by function
# with what is inlined into it, and by source line, for the 8-note chord or 16 x 3 of a model.
#
# usage: scripts/profile-lines.sh BUILD_DIR [MODEL] [SECONDS] [EVENT] [ROWS]
#   BUILD_DIR  a build with debug information, e.g. configured with
#              -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-gdwarf-4 (the same code)
#   MODEL      - for the 8-note chord (default), or Wire, String, FM, Wave for 16 x 3, or
#              burst: the blocks of 64 that take sixteen note-ons (figures per such block),
#              or steady: the block before each of them (sixteen voices in their release)
#   SECONDS    rendered (default 1)
#   EVENT      Ir (default), or a cache event: D1mr, D1mw, I1mr (runs the cache simulation),
#              or code: how much code runs in every sample, every run of the render loop
#              (16 samples) and so on, against the instruction cache's 32 KB
#   ROWS       rows of each table (default 60)
# Runs under callgrind: about a minute per second rendered. Needs valgrind, binutils, python3.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:?usage: scripts/profile-lines.sh BUILD_DIR [MODEL] [SECONDS] [EVENT] [ROWS]}"
model="${2:--}"
seconds="${3:-1}"
event="${4:-Ir}"
rows="${5:-60}"
cmake --build "$build" -j4 --target Tavrolune tavrolune-bench-render >/dev/null
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cache=()
[ "$event" = Ir ] || [ "$event" = code ] || cache=(--cache-sim=yes)
run=(--callgrind-child --seconds "$seconds" --model "$model" --as-ours)
[ "$model" = burst ] && run=(--burst-child --seconds "$seconds")
[ "$model" = steady ] && run=(--burst-child --steady --seconds "$seconds")
valgrind --tool=callgrind "${cache[@]}" --dump-instr=yes --collect-atstart=no -q \
    --callgrind-out-file="$scratch/profile" "$build/bin/tavrolune-bench-render" \
    "$build/plugin/Tavrolune.so" "${run[@]}" >/dev/null
# the samples the collection covers: the benchmark renders whole blocks of 512 at 48 kHz
# until the seconds are reached; or the burst blocks, one a second in each of three runs
if [ "$model" = burst ] || [ "$model" = steady ]; then
    samples=$(awk -v s="$seconds" \
        'BEGIN { b = int(int(s * 48000) / 64); print 3 * int((b + 749) / 750) }')
else
    samples=$(awk -v s="$seconds" 'BEGIN { f = int(s * 48000); print int((f + 511) / 512) * 512 }')
fi
python3 tools/bench/callgrind_lines.py "$scratch/profile" "$build/plugin/Tavrolune.so" \
    "$samples" "$event" "$rows"
