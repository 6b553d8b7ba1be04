#!/usr/bin/env bash
# Installs what is missing, builds Brindle and opens it: the window on the given
# folder (the generated demo folder by default), or, without a display, the
# command-line listing of that folder.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRINDLE_TESTS=OFF -DBRINDLE_BENCH=OFF
cmake --build "$build" -j "$(nproc)"
folder=${1:-$build/demo}
if [ -x "$build/src/app/brindle" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$build/src/app/brindle" "$folder"
fi
echo "No display: listing $folder with brindle-cli (run this script in a desktop session for the window)." >&2
exec "$build/src/cli/brindle-cli" list "$folder"
