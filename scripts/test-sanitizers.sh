#!/usr/bin/env bash
# The whole Linux test suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (preset asan, no recovery), the built program included. Exits non-zero on
# any failure or finding. Runs unattended on a fresh Debian 12.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source scripts/lib.sh

check "install packages" scripts/install-deps.sh || { ledger_end sanitizers; exit 1; }

# The options are the test preset's.
if check "asan: configure" quietly cmake --preset asan &&
   check "asan: build" cmake --build --preset asan; then
  check "asan: tests" ctest --preset asan -j 2 </dev/null
fi

ledger_end sanitizers
