#!/usr/bin/env bash
# Where the render loop's time goes, beside where its instructions go: by function, the share
# of CPU time (sampled on the software clock) and the share of instructions (callgrind), and
# their ratio. A function whose time share is well above its instruction share waits: on
# memory the caches and the prefetcher do not bring in time, or on chains of dependent
# operations. Below 1, it runs more instructions a cycle than the render loop on average.
#
# usage: scripts/time-profile.sh BUILD_DIR [MODEL] [SECONDS] [ROWS]
#   BUILD_DIR  a release build (its function names are enough)
#   MODEL      - for the 8-note chord (default), or Wire, String, FM, Wave for 16 x 3
#   SECONDS    rendered for the time samples (default 30; callgrind renders a tenth, at most 1)
#   ROWS       rows of the table (default 25)
# Needs perf (linux-perf) with access to the software clock event, valgrind and python3. The
# time shares are those of a loaded or quiet machine alike, but noisy: compare runs, not rows.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:?usage: scripts/time-profile.sh BUILD_DIR [MODEL] [SECONDS] [ROWS]}"
model="${2:--}"
seconds="${3:-30}"
rows="${4:-25}"
cmake --build "$build" -j4 --target Tavrolune tavrolune-bench-render >/dev/null
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
bench=("$build/bin/tavrolune-bench-render" "$build/plugin/Tavrolune.so" --callgrind-child
       --model "$model" --as-ours)
perf record -q -e cpu-clock -F 4000 -o "$scratch/perf.data" "${bench[@]}" --seconds "$seconds" \
    >/dev/null 2>&1
perf report -i "$scratch/perf.data" --no-children --stdio --sort dso,symbol 2>/dev/null \
    >"$scratch/time.txt"
short=$(awk -v s="$seconds" 'BEGIN { t = s / 10; if (t > 1) t = 1; print t }')
valgrind --tool=callgrind --collect-atstart=no -q --callgrind-out-file="$scratch/profile" \
    "${bench[@]}" --seconds "$short" >/dev/null
callgrind_annotate --threshold=100 "$scratch/profile" >"$scratch/instr.txt"
python3 tools/bench/time_vs_instr.py "$scratch/time.txt" "$scratch/instr.txt" Tavrolune.so "$rows"
