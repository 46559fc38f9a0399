#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with, when missing.
set -euo pipefail
packages=(build-essential cmake pkg-config libgtest-dev googletest
          libcairo2-dev libx11-dev libfontconfig-dev libfreetype-dev fonts-dejavu-core fonts-dejavu-extra
          xvfb xdotool zenity sox python3 python3-numpy amsynth clang libclang-rt-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
