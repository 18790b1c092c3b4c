#!/usr/bin/env bash
# Installs what is needed, builds the Linux program and runs it on the sample
# level set. The build directory stands in for the game's directory, so the
# copy lands in build/linux/Levels/.
set -euo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/install-deps.sh
cmake --preset linux
cmake --build --preset linux --target levelset-installer
set +e
build/linux/levelset-installer "$PWD/samples/Ocean%20Set[2].qlm"
status=$?
set -e
echo "exit status: $status"
ls -l build/linux/Levels 2>/dev/null || true
