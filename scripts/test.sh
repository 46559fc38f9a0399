#!/usr/bin/env bash
# Builds and runs every test: once optimised, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threads under ThreadSanitizer and the file parsers under
# libFuzzer. The offline host's validation of the built plug-in is one of the tests
# (PluginBinary.ValidatePasses), in both runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_CACHE_HOME="$scratch/cache"
mkdir -p "$HOME"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

# Optimised too, so the sanitised run stays quick; the long stress renders ran above and
# repeat only code paths the shorter tests cover under the sanitizers. (-O1 and line tables
# only: the build is then a third quicker, and a report still names each frame's line.)
sanitized_flags='-O1 -g1 -DNDEBUG'
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$sanitized_flags" >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# CTest starts the tests it knows to be long first: given the optimised run's times, the
# long sanitised renders start at once instead of last, and the run ends sooner.
mkdir -p build-asan/Testing/Temporary
cp build/Testing/Temporary/CTestCostData.txt build-asan/Testing/Temporary/ 2>/dev/null || true
stress='LoadedOutputStaysWithinTheClipAndClean|TwentySecondsOfExtremeSlots|EngineStateStaysFinite|EveryModeStaysFiniteAndBoundedUnderNoise|TenSecondsOfSilenceLeaveNoSubnormalState'
(cd build-asan && ctest --output-on-failure -j"$jobs" -E "$stress")

# The file parsers under libFuzzer, a short fixed time each, beside the stage below: the
# fuzzers take three cores, the thread-sanitised build the rest. Their report follows it.
scripts/fuzz.sh >"$scratch/fuzz.log" 2>&1 &
fuzzing=$!
trap 'kill "$fuzzing" 2>/dev/null || true; rm -rf "$scratch"' EXIT

# What the threads share, under ThreadSanitizer: the program hand-over, the editor's
# deferred work, and the engine rendering notes on an audio thread while a second thread
# automates every parameter and the editor idles on both front pages. Only those tests and
# what they link are built; they run for a few seconds, and any report fails the run.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_TSAN=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$sanitized_flags" >/dev/null
cmake --build build-tsan -j"$jobs" --target test_program_handover test_editor_object test_editor_threads
export TSAN_OPTIONS=halt_on_error=1
build-tsan/tests/test_program_handover
build-tsan/tests/test_editor_object --gtest_filter='*AnotherThread*:*AudioThread*'
build-tsan/tests/test_editor_threads
unset TSAN_OPTIONS

wait "$fuzzing" || { cat "$scratch/fuzz.log"; exit 1; }
cat "$scratch/fuzz.log"

# The render cost on this machine against the peer, for the record (figures only; nothing
# here can fail): idle, the chord and bursts, then the interleaved ratios. (With no option
# the benchmark prints its whole table per model and voice count.)
build/bin/tavrolune-bench-render build/plugin/Tavrolune.so --chord --seconds 10 || true
build/bin/tavrolune-bench-render build/plugin/Tavrolune.so --ratio --pairs 3 --seconds 10 || true
