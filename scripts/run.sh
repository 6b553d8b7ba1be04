#!/usr/bin/env bash
# Installs what is missing, builds Brindle and lists the generated demo folder.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRINDLE_TESTS=OFF -DBRINDLE_BENCH=OFF
cmake --build "$build" -j "$(nproc)"
if [ -x "$build/src/app/brindle" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$build/src/app/brindle" "$@"
fi
exec "$build/src/cli/brindle-cli" list "$build/demo"
