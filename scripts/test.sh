#!/usr/bin/env bash
# Installs everything, builds every program and runs every test: Linux,
# Windows under Wine, sanitizers and fuzzing, the desktop integration, and
# two builds of the release artefacts that must come out the same.
# Runs all parts even when one fails, then says which failed.
set -uo pipefail
cd "$(dirname "$0")/.."

parts=(linux windows hardening desktop reproducible)
passed=0
failed=0
failures=()
for part in "${parts[@]}"; do
  script="scripts/test-$part.sh"
  [ -x "$script" ] || continue
  echo "=== $part ==="
  start=$SECONDS
  if "$script"; then
    passed=$((passed + 1))
    echo "=== $part: passed in $((SECONDS - start)) s ==="
  else
    failed=$((failed + 1))
    failures+=("$part")
    echo "=== $part: FAILED after $((SECONDS - start)) s ==="
  fi
done
[ $failed -eq 0 ] || echo "failed parts: ${failures[*]}"
echo "parts: $passed passed, $failed failed"
[ $failed -eq 0 ]
