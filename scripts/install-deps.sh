#!/usr/bin/env bash
# Installs what Brindle needs to build, test and benchmark on Debian 12 (run as root).
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config
      qt6-base-dev libgl-dev libgif-dev
      nlohmann-json3-dev libcli11-dev
      libgtest-dev libgmock-dev libbenchmark-dev
      python3 python3-mutagen libtag1-dev
      clang clang-format clang-tidy libclang-rt-14-dev
      xvfb xauth)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run this script as root)" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
