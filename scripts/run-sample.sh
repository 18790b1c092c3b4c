#!/usr/bin/env bash
# Tries the installer on the sample level set, samples/Ocean%20Set[2].qlm:
# installs the build tools when they are missing, builds the Linux program,
# and runs it. The build directory stands in for the game's directory, so
# the level set is installed into build/linux/Levels/.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
log=build/run-sample.log
mkdir -p build

echo "Building the installer (a minute or two the first time)..."
if ! { scripts/install-deps.sh && cmake --preset linux && \
       cmake --build --preset linux --target levelset-installer; } >"$log" 2>&1; then
  cat "$log"
  echo "The build failed; what it said is above (and in $log)."
  exit 1
fi

sample="$PWD/samples/Ocean%20Set[2].qlm"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "The installer asks whether to install \"Ocean Set\": answer in the window that opens."
elif [ -t 0 ] && [ -t 2 ]; then
  echo "The installer asks whether to install \"Ocean Set\": type y (or n) and Enter."
else
  echo "No display and no terminal to ask on: the installer goes on unasked and says what it did."
fi
echo
build/linux/levelset-installer "$sample"
status=$?
echo
if [ $status -eq 1 ]; then
  echo "Exit status 1: installed, as $PWD/build/linux/Levels/Ocean Set.qlm"
else
  echo "Exit status $status: not installed (1 means installed); build/linux/Levels/ is unchanged."
fi
