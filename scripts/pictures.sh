#!/usr/bin/env bash
# Makes the README's pictures of the editor (docs/easy-100.png, docs/main-100.png and the same
# at 200 %): the editor in a real window under a private Xvfb, opened by the offline host the
# way a host opens it, with fresh preferences that choose the size, photographed by the host
# command itself.
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
mkdir -p docs
for percent in 100 200; do
  run="$scratch/$percent"
  mkdir -p "$run/home" "$run/config/com.ZELQ.Tavrolune" "$run/data"
  # The size is read when the plug-in is created: no key set is 100 %.
  big200=N
  [ "$percent" = 200 ] && big200=Y
  printf 's Big125=N\ns Big150=N\ns Big200=%s\n' "$big200" >"$run/config/com.ZELQ.Tavrolune/preferences"
  scale=$((percent / 100))
  # The editor opens on the easy page; the VIEW button (664, 50 at 100 %) switches to the main page.
  printf 'idle 20\nshot docs/easy-%s.png\nclick %d %d\nidle 20\nshot docs/main-%s.png\nquit\n' \
    "$percent" $((664 * scale)) $((50 * scale)) "$percent" |
    DISPLAY="$display" HOME="$run/home" XDG_CONFIG_HOME="$run/config" XDG_DATA_HOME="$run/data" \
    build/bin/tavrolune-host editor build/plugin/Tavrolune.so --control --no-notes >/dev/null
  echo "wrote docs/easy-$percent.png and docs/main-$percent.png"
done
