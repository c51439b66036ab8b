#!/usr/bin/env bash
# Measures large scans on the bench: save speed against a plain write, peak memory, the largest
# image, CPU while a source waits, press to file. Prints one line per figure (median and range).
# Not part of the test command; takes a few minutes and some 10 GB of writes in build/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null

# shellcheck source=bench-env.sh
source "$root/scripts/bench-env.sh"
trap bench_down EXIT
bench_start_display
bench_prepare

work=$ZEMBROLITE_BUILD/benchmark-run
rm -rf "$work"
mkdir -p "$work"
windows_path() { "$WINE" winepath -w "$1" 2>/dev/null; }
"$WINE" "$ZEMBROLITE_BENCH_BUILD/benchmark/LargeScanBenchmark.exe" \
  "$(windows_path "$ZEMBROLITE_BENCH_BUILD/bin/Zembrolite.exe")" "$(windows_path "$work")" \
  "$(windows_path "$(dirname "$bench_scanner_target")")"
rm -rf "$work"
