#!/usr/bin/env bash
# Builds the libFuzzer targets of the ".arp", ".ecs" and ".tun" parsers with clang and runs
# each for a fixed time (FUZZ_SECONDS, default 20) from the seed corpus in tests/data/fuzz.
# Fails when a target finds a crash or a broken invariant.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-20}"
build="${FUZZ_BUILD_DIR:-build-fuzz}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

CXX=clang++ CC=clang cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_FUZZ=ON -DTAV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_arp fuzz_ecs fuzz_tun

# The three run side by side, each on a core of its own: the same time per parser, a third
# of the wait.
kinds=(arp ecs tun)
pids=()
for kind in "${kinds[@]}"; do
  # New inputs go to a scratch copy; the seeds in the tree stay as they are.
  mkdir -p "$work/$kind"
  cp tests/data/fuzz/"$kind"/* "$work/$kind"/
  echo "fuzzing the .$kind parser for ${seconds} s"
  "$build/fuzz/fuzz_$kind" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
    -artifact_prefix="$work/crash-$kind-" -print_final_stats=1 "$work/$kind" 2>"$work/$kind.log" &
  pids+=($!)
done
failed=0
for i in "${!kinds[@]}"; do
  kind="${kinds[$i]}"
  if wait "${pids[$i]}"; then
    grep -E "stat::number_of_executed_runs|Done" "$work/$kind.log" | tail -n 2 | sed "s/^/.$kind: /"
  else
    tail -n 40 "$work/$kind.log"
    mkdir -p "$build/fuzz-artifacts"
    cp "$work"/crash-"$kind"-* "$build/fuzz-artifacts/" 2>/dev/null || true
    echo "the .$kind parser failed under fuzzing (inputs kept in $build/fuzz-artifacts)" >&2
    failed=1
  fi
done
[ "$failed" = 0 ] || exit 1
echo "fuzzing found nothing"
