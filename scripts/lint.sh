#!/usr/bin/env bash
# Checks the C++ files changed since a base revision: their layout against
# .clang-format and their code against .clang-tidy. Exits non-zero on any finding.
#
#   scripts/lint.sh [BASE]     BASE defaults to main; changes are counted from the
#                              point where HEAD left BASE, uncommitted ones included.
#
# clang-tidy needs a configured build for its compile commands: BUILD_DIR (default
# build) is configured here when it has none. JOBS sets the parallel clang-tidy runs.
set -euo pipefail
cd "$(dirname "$0")/.."

base=${1:-main}
build=${BUILD_DIR:-build}
jobs=${JOBS:-$(nproc)}
format=${CLANG_FORMAT:-clang-format}
tidy=${CLANG_TIDY:-clang-tidy}

for tool in "$format" "$tidy" git; do
  command -v "$tool" >/dev/null || { echo "lint: $tool not found" >&2; exit 2; }
done

fork=$(git merge-base "$base" HEAD)
mapfile -t files < <(git diff --name-only --diff-filter=d "$fork" -- '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then
  echo "lint: no C++ file changed since $base"
  exit 0
fi

status=0

echo "== clang-format: ${#files[@]} file(s)"
if ! "$format" --dry-run --Werror "${files[@]}"; then
  echo "lint: layout differs; run: $format -i <file>" >&2
  status=1
fi

if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRINDLE_BENCH=OFF >/dev/null
fi

# clang-tidy reads sources from the compile commands; a changed header is checked
# through the source of the same name (and, by the header filter, every includer).
mapfile -t known < <(python3 - "$build/compile_commands.json" <<'PY'
import json, os, sys
for entry in json.load(open(sys.argv[1])):
    print(os.path.relpath(os.path.join(entry["directory"], entry["file"])))
PY
)
declare -A inDb=()
for f in "${known[@]}"; do inDb[$f]=1; done
declare -A pick=()
for f in "${files[@]}"; do
  src=$f
  [[ $f == *.h ]] && src=${f%.h}.cpp
  [ -n "${inDb[$src]:-}" ] && pick[$src]=1
done
sources=("${!pick[@]}")

echo "== clang-tidy: ${#sources[@]} source(s)"
if [ ${#sources[@]} -gt 0 ]; then
  if ! printf '%s\0' "${sources[@]}" |
       xargs -0 -n 1 -P "$jobs" "$tidy" -p "$build" --quiet --warnings-as-errors='*'; then
    status=1
  fi
fi

exit $status
