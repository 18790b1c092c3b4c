#!/usr/bin/env bash
# The whole Linux test suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (preset asan, no recovery), then every libFuzzer target of the logic
# (preset fuzz) for a bounded time each. Exits non-zero on any failure or
# finding. Runs unattended on a fresh Debian 12.
#
#   FUZZ_SECONDS=60   time per fuzz target
set -uo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS="${FUZZ_SECONDS:-60}"
results=()
failed=0

step() {  # step NAME COMMAND...: runs it, records the outcome
  local name="$1"
  shift
  local start=$SECONDS
  echo "--- $name"
  if "$@"; then
    results+=("passed  $name ($((SECONDS - start)) s)")
  else
    results+=("FAILED  $name ($((SECONDS - start)) s)")
    failed=$((failed + 1))
    return 1
  fi
}

summary() {
  echo
  echo "=== hardening summary ==="
  printf '%s\n' "${results[@]}"
  local total=${#results[@]}
  echo "hardening: $((total - failed)) passed, $failed failed"
}

step "install packages" scripts/install-deps.sh clang libclang-rt-14-dev || { summary; exit 1; }

# --- Sanitizers: the whole suite, the built program included (the options
# are the test preset's).
if step "asan: configure" cmake --preset asan >/dev/null &&
   step "asan: build" cmake --build --preset asan; then
  step "asan: tests" ctest --preset asan -j 2 </dev/null
fi

# --- Fuzzing: each target from its committed seeds, for a bounded time.
run_fuzzer() {  # run_fuzzer TARGET
  local target="$1"
  local work="build/fuzz/run/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
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

if step "fuzz: configure" cmake --preset fuzz >/dev/null &&
   step "fuzz: build" cmake --build --preset fuzz --target fuzz_targets; then
  # The list of targets is the build's own (fuzz/CMakeLists.txt).
  mapfile -t fuzz_targets <build/fuzz/fuzz/targets.txt
  for target in "${fuzz_targets[@]}"; do
    step "fuzz: $target (${FUZZ_SECONDS} s)" run_fuzzer "$target"
  done
fi

summary
[ $failed -eq 0 ]
