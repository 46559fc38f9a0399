#!/usr/bin/env bash
# Renders the demo and one patch per layer model (plus the modulation and effect patches)
# through the current build and compares them with the same renders of a baseline: every
# file must differ by less than -100 dBFS peak, or not at all.
#
# usage: scripts/compare-renders.sh BASELINE_DIR [BUILD_DIR]
#   BASELINE_DIR  renders of the baseline; made first, when it holds no WAV yet, from the
#                 plug-in named by BASELINE_PLUGIN (a build of the committed tree, e.g.
#                 made from `git archive HEAD` in a scratch folder)
#   BUILD_DIR     the current build (default build-release), built here first
set -euo pipefail
cd "$(dirname "$0")/.."
base="${1:?usage: scripts/compare-renders.sh BASELINE_DIR [BUILD_DIR]}"
build="${2:-build-release}"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j4 --target Tavrolune tavrolune-host tavrolune-render-compare >/dev/null

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
export XDG_DATA_HOME="$scratch/home/.local/share" XDG_CACHE_HOME="$scratch/home/.cache"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"

render() {  # PLUGIN HOSTBIN OUTDIR
    mkdir -p "$3"
    "$2/tavrolune-host" render "$1" --midi tools/demo/demo.mid --out "$3/demo.wav" \
        --rate 48000 --block 512 >/dev/null
    "$2/tavrolune-render-compare" patches "$1" "$3" >/dev/null
}

if ! ls "$base"/*.wav >/dev/null 2>&1; then
    : "${BASELINE_PLUGIN:?no renders in $base: set BASELINE_PLUGIN to the baseline plug-in}"
    render "$BASELINE_PLUGIN" "$build/bin" "$base"
    echo "baseline renders written to $base"
fi
render "$build/plugin/Tavrolune.so" "$build/bin" "$scratch/now"
"$build/bin/tavrolune-render-compare" diff "$base" "$scratch/now"
