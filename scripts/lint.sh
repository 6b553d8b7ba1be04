#!/usr/bin/env bash
# Checks the layout of every C++ file against .clang-format (cheap, and the tree is
# kept formatted as a whole), and the code of the C++ files changed since a base
# revision against .clang-tidy. Exits non-zero on any finding.
#
#   scripts/lint.sh [BASE]     BASE defaults to main; changes are counted from the
#                              point where HEAD left BASE, uncommitted ones included.
#                              A BASE this clone does not hold (a shallow checkout)
#                              checks every source.
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

status=0

mapfile -t all < <(git ls-files -- '*.cpp' '*.h')
echo "== clang-format: ${#all[@]} file(s)"
if ! "$format" --dry-run --Werror "${all[@]}"; then
  echo "lint: layout differs; run: $format -i <file>" >&2
  status=1
fi

fork=
if fork=$(git merge-base "$base" HEAD 2>/dev/null); then
  mapfile -t files < <(git diff --name-only --diff-filter=d "$fork" -- '*.cpp' '*.h')
else
  echo "lint: $base is not in this clone; checking every source"
  files=("${all[@]}")
fi
# A file whose change is layout alone (a reformat) has nothing new for clang-tidy:
# it reads the same with every blank and line break taken out.
changed=()
for f in "${files[@]}"; do
  if [ -n "${fork:-}" ] &&
     cmp -s <(git show "$fork:$f" 2>/dev/null | tr -d ' \t\r\n') <(tr -d ' \t\r\n' <"$f"); then
    continue
  fi
  changed+=("$f")
done
files=("${changed[@]}")
if [ ${#files[@]} -eq 0 ]; then
  echo "lint: no C++ file changed since $base"
  exit $status
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
