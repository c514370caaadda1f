#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
if [ ${#files[@]} -eq 0 ]; then exit 0; fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/vorn-format.log; then
  grep -m 20 'error:' /tmp/vorn-format.log >&2 || true
  echo "check-format: run clang-format -i on the files above" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
