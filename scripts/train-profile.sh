#!/usr/bin/env bash
# Branch counts for the optimised core (the build runs this; see TAV_PGO in CMakeLists.txt):
# builds the plug-in instrumented in TRAINING_DIR/build, and whenever that plug-in changed,
# has it play the 8-note chord, 16 voices x 3 layers of each model, bursts of note-ons and
# the demo phrase, its counts into TRAINING_DIR/counts. TRAINING_DIR/counts.stamp is
# rewritten after each recording.
#
# usage: scripts/train-profile.sh TRAINING_DIR CXX_COMPILER CXX_FLAGS LTO
set -euo pipefail
cd "$(dirname "$0")/.."
training="${1:?usage: scripts/train-profile.sh TRAINING_DIR CXX_COMPILER CXX_FLAGS LTO}"
compiler="${2:?}"
flags="${3-}"
lto="${4:-ON}"
build="$training/build"
counts="$training/counts"
stamp="$training/counts.stamp"
# (its own make, not the calling one's jobs)
unset MAKEFLAGS MFLAGS MAKELEVEL
# Configured anew only when the calling build's compiler or flags moved.
setup="$compiler|$flags|$lto"
if [ ! -f "$build/CMakeCache.txt" ] || [ "$(cat "$training/setup" 2>/dev/null)" != "$setup" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAV_TESTS=OFF \
        -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_CXX_FLAGS="$flags" -DTAV_LTO="$lto" \
        -DTAV_PGO_GENERATE="$counts" >/dev/null
    printf '%s' "$setup" >"$training/setup"
fi
cmake --build "$build" -j"$(nproc)" --target Tavrolune tavrolune-bench-render tavrolune-host \
    >"$training/build.log" 2>&1 || { cat "$training/build.log"; exit 1; }
plugin="$build/plugin/Tavrolune.so"
if [ -s "$stamp" ] && [ ! "$plugin" -nt "$stamp" ]; then
    exit 0
fi

# The counts add up over runs: a recording starts from none. (The stamp is emptied first, so
# that a recording cut short is made again by the next build.)
: >"$stamp"
rm -rf "$counts" "$training/home"
export HOME="$training/home" XDG_CONFIG_HOME="$training/home/config"
export XDG_DATA_HOME="$training/home/data" XDG_CACHE_HOME="$training/home/cache"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
bench="$build/bin/tavrolune-bench-render"
"$bench" "$plugin" --callgrind-child --model - --as-ours --seconds 6 >/dev/null
for model in Wire String FM Wave; do
    "$bench" "$plugin" --callgrind-child --model "$model" --as-ours --seconds 2 >/dev/null
done
"$bench" "$plugin" --burst-child --seconds 5 >/dev/null
"$build/bin/tavrolune-host" render "$plugin" --midi tools/demo/demo.mid \
    --out "$training/demo.wav" >/dev/null
echo "recorded $(find "$counts" -name '*.gcda' | wc -l) count files" >"$stamp"
