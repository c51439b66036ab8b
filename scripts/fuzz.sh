#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from the seed corpus in tests/fuzz/corpus.
# New inputs go to a scratch corpus in the build folder; a crash fails the run and leaves its
# input in build/fuzz/artifacts.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZEMBROLITE_BUILD:-$root/build}
seconds=${ZEMBROLITE_FUZZ_SECONDS:-15}

status=0
mkdir -p "$build/fuzz/artifacts"
for pair in FuzzBmpLayout:bmp FuzzText:text FuzzConversions:conversions; do
  target=${pair%%:*}
  corpus=${pair#*:}
  mkdir -p "$build/fuzz/work/$corpus"
  echo "== fuzzing $target for ${seconds}s"
  if ! "$build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/fuzz/artifacts/" "$build/fuzz/work/$corpus" "$root/tests/fuzz/corpus/$corpus" \
      >"$build/fuzz/$target.log" 2>&1; then
    echo "$target found a failure; see $build/fuzz/$target.log and $build/fuzz/artifacts" >&2
    tail -20 "$build/fuzz/$target.log" >&2
    status=1
  else
    grep -E "stat::number_of_executed_units|stat::new_units_added" "$build/fuzz/$target.log" || true
  fi
done
exit $status
