#!/usr/bin/env bash
# Makes the README's pictures of the editor (docs/easy-100.png, docs/main-100.png): the editor
# in a real window under a private Xvfb, opened by the offline host the way a host opens it,
# with fresh preferences, photographed by the host command itself.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target Tavrolune tavrolune-host
scratch="$(mktemp -d)"
exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 2400x1600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$scratch"' EXIT
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
display=":$(head -n1 "$scratch/display")"
mkdir -p docs "$scratch/home" "$scratch/config" "$scratch/data"
# The editor opens on the easy page; the VIEW button (664, 50) switches to the main page.
printf 'idle 20\nshot docs/easy-100.png\nclick 664 50\nidle 20\nshot docs/main-100.png\nquit\n' |
  DISPLAY="$display" HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
  build/bin/tavrolune-host editor build/plugin/Tavrolune.so --control --no-notes >/dev/null
echo "wrote docs/easy-100.png and docs/main-100.png"
