#!/usr/bin/env bash
# The cache lines the render loop touches per output sample, by member of the plug-in object,
# and the misses of a simulated L1 data cache (default 32 KB, 8 ways).
#
# usage: scripts/cache-lines.sh BUILD_DIR [MODEL] [SECONDS] [SETS WAYS [MEMBER:BYTES ...]]
#   BUILD_DIR  a build with debug information, e.g. configured with
#              -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-gdwarf-4 (the same code)
#   MODEL      - for the 8-note chord (default), or Wire, String, FM, Wave for 16 x 3
#   SECONDS    rendered after the pre-roll (default 0.12); the second half is measured
#   MEMBER:BYTES  the member's lines as if it lay BYTES further on (see tavrolune-cache-lines)
# With CACHE_LINES_KEEP=DIR the trace and the layout stay in DIR, for more reports of them.
# Runs under valgrind's lackey: a few minutes. Needs gdb, valgrind and python3.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:?usage: scripts/cache-lines.sh BUILD_DIR [MODEL] [SECONDS] [SETS WAYS]}"
model="${2:--}"
seconds="${3:-0.12}"
sets="${4:-64}"
ways="${5:-8}"
shift $(( $# < 5 ? $# : 5 ))
cmake --build "$build" -j4 --target Tavrolune tavrolune-bench-render tavrolune-cache-lines >/dev/null
if [ -n "${CACHE_LINES_KEEP:-}" ]; then
    scratch="$CACHE_LINES_KEEP"
    mkdir -p "$scratch"
else
    scratch="$(mktemp -d)"
    trap 'rm -rf "$scratch"' EXIT
fi
gdb -batch -ex "set max-value-size unlimited" -ex "ptype /o APlugin" \
    "$build/plugin/Tavrolune.so" | python3 tools/bench/object_layout.py > "$scratch/members"
counter=$(awk '$3 == "sampleCounter" { print $1 }' "$scratch/members" | tail -1)
size=$(awk '$1 == "size" { print $2 }' "$scratch/members")
[ -n "$counter" ] && [ "${size:-0}" -gt 0 ] || { echo "no layout: is $build built with -g?" >&2; exit 1; }
# the pre-roll (8192 samples) and the first half of the run are skipped
skip=$(awk -v s="$seconds" 'BEGIN { printf "%d", 8192 + s * 48000 / 2 }')
valgrind --tool=lackey --trace-mem=yes --log-fd=9 "$build/bin/tavrolune-bench-render" \
    "$build/plugin/Tavrolune.so" --callgrind-child --seconds "$seconds" --model "$model" \
    --as-ours 9>&1 >/dev/null 2>/dev/null |
    "$build/bin/tavrolune-cache-lines" record "$scratch/trace" "$counter" "$skip"
"$build/bin/tavrolune-cache-lines" report "$scratch/trace" "$scratch/members" "$size" "$sets" "$ways" \
    "$@"
