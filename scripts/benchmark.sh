#!/usr/bin/env bash
# Measures large scans on the bench: save speed against a plain write, peak memory, the largest
# image, CPU while a source waits, press to file. Prints one line per figure (median and range).
# Then the largest image of the 32-bit program, measured on the emulated station (tests/station)
# since this host runs no 32-bit code. Not part of the test command; takes some 30 minutes and
# some 10 GB of writes in build/.
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
"$WINE" "$ZEMBROLITE_BENCH_BUILD/benchmark/LargeScanBenchmark.exe" \
  "$(bench_windows_path "$ZEMBROLITE_BENCH_BUILD/bin/Zembrolite.exe")" "$(bench_windows_path "$work")" \
  "$(bench_windows_path "$(dirname "$bench_scanner_target")")"
rm -rf "$work"
bench_down

# The 32-bit program as the x86 package installs it, on the emulated 64-bit station.
# shellcheck source=station-boot.sh
source "$root/scripts/station-boot.sh"
station=$("$root/scripts/station-image.sh")
job=$ZEMBROLITE_BUILD/station-benchmark
rm -rf "$job"
mkdir -p "$job"
cp "$root/tests/station/guest-env.sh" "$ZEMBROLITE_BUILD/benchmark/LargeScanBenchmark.exe" "$job/"
cp "$ZEMBROLITE_BUILD"/Zembrolite-*-x86.msi "$job/Zembrolite-x86.msi"
cp "$root/tests/station/benchmark-job.sh" "$job/job.sh"
station_boot "$station" "$job" || echo "the emulated station did not finish; see $job/console.log" >&2
sed 's/^/32-bit program on the emulated 64-bit station: /' "$job/result"
