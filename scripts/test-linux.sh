#!/usr/bin/env bash
# Builds the Linux program and runs its whole test suite: the logic against
# the scripted platform, the POSIX backend, and the built program end to end.
set -euo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/install-deps.sh
cmake --preset linux
cmake --build --preset linux
ctest --preset linux
