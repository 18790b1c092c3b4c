#!/usr/bin/env bash
# Every libFuzzer target of the logic (preset fuzz, clang) for a bounded
# time each, from its committed seeds. Exits non-zero on any finding. Runs
# unattended on a fresh Debian 12.
#
#   FUZZ_SECONDS=60   time per fuzz target
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source scripts/lib.sh

FUZZ_SECONDS="${FUZZ_SECONDS:-60}"

check "install packages" scripts/install-deps.sh clang libclang-rt-14-dev || { ledger_end fuzz; exit 1; }

# --- Fuzzing: each target from its committed seeds, for a bounded time.
run_fuzzer() {  # run_fuzzer TARGET
  local target="$1"
  local work="build/fuzz/run/$target"
  fresh_directory "$work" && mkdir -p "$work/corpus" "$work/artifacts" || return 1
  # New inputs go to the work corpus; the committed seeds are only read.
  build/fuzz/fuzz/"$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "fuzz/corpus/$target" >"$work/log" 2>&1
  local status=$?
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done )' "$work/log" | sed 's/^/    /'
  if [ $status -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
    echo "    finding in $target (exit $status); last lines of $work/log:"
    tail -n 40 "$work/log" | sed 's/^/    /'
    ls "$work/artifacts" | sed 's/^/    artifact: /'
    return 1
  fi
}

if check "fuzz: configure" quietly cmake --preset fuzz &&
   check "fuzz: build" cmake --build --preset fuzz --target fuzz_targets; then
  # The list of targets is the build's own (fuzz/CMakeLists.txt).
  mapfile -t fuzz_targets <build/fuzz/fuzz/targets.txt
  for target in "${fuzz_targets[@]}"; do
    check "fuzz: $target (${FUZZ_SECONDS} s)" run_fuzzer "$target"
  done
fi

ledger_end fuzz
