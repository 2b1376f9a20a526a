#!/usr/bin/env bash
# Fails when a tracked C++ file is not in the house format (.clang-format).
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed" >&2; exit 1; }
bad=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -o '^[^:]*:[0-9]*:[0-9]*: warning' | cut -d: -f1 | sort -u || true)
if [ -n "$bad" ]; then
  echo "check-format: not in the house format (run clang-format -i on them):" >&2
  printf '  %s\n' $bad >&2
  exit 1
fi
echo "check-format: every C++ file is in the house format"
