#!/usr/bin/env bash
# Checks the documentation's links, installs everything, builds every program
# and runs every test: Linux, Windows under Wine (its .zip and setup too),
# sanitizers, fuzzing, the release program's hardening, the desktop
# integration, and two builds of the release artefacts that must come out
# the same.
# Runs all parts even when one fails, then says which failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source scripts/lib.sh

for part in docs linux windows sanitizers fuzz hardening desktop reproducible; do
  echo "=== $part ==="
  if [ -x "scripts/test-$part.sh" ]; then
    check "$part" "scripts/test-$part.sh"
  else
    record "$part: scripts/test-$part.sh is missing" 1
  fi
done
ledger_end parts
