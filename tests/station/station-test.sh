#!/usr/bin/env bash
# The builds that ship, tested as they ship: both packages and the programs they install on an
# emulated 64-bit station (scripts/station-image.sh builds it when missing), which runs 32-bit
# code whatever the host does. Prints each check and a closing count; fails when any check
# fails, or when the station cannot be built or booted (never skipped).
#   station-test.sh   (after scripts/build.sh)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${ZEMBROLITE_BUILD:-$root/build}
# shellcheck source=../../scripts/station-boot.sh
source "$root/scripts/station-boot.sh"

station=$("$root/scripts/station-image.sh") || {
  echo "station: FAILED: the emulated station could not be built (see above)" >&2
  exit 1
}
version=$(sed -nE 's/^project\(Zembrolite VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
job=$build/station-job
rm -rf "$job"
mkdir -p "$job/app" "$job/app64" "$job/bin"
cp "$root/tests/station/station-job.sh" "$job/job.sh"
cp "$root/tests/station/guest-env.sh" "$root/tests/package/deployment.sh" "$job/"
cp "$build/app/app_tests.exe" "$job/app/"
cp "$build/x64/app/app_tests.exe" "$job/app64/"
cp "$build/bin/FakeScan.exe" "$job/bin/"
cp -r "$build/twaindsm" "$job/"
mkdir -p "$job/camera"
bash "$root/tests/camera/make-photo.sh" "$job/camera"
cp "$build/Zembrolite-$version-x86.msi" "$job/Zembrolite-1.0.0-x86.msi"
cp "$build/x64/Zembrolite-$version-x64.msi" "$job/Zembrolite-1.0.0-x64.msi"
# A newer package of the same files for the upgrade.
bash "$root/installer/make-msi.sh" x86 1.0.1 "$build" i686-w64-mingw32-strip "$job/Zembrolite-1.0.1-x86.msi"

echo "station: booting ($(station_accel)); the guest's console is $job/console.log"
started=$(date +%s)
# The checks as the guest writes them, whole lines only, each once (the count shown so far is
# kept in a file, since the printer runs in the background and once more at the end).
echo 0 >"$job/shown"
print_new_checks() {
  local lines shown
  [ -f "$job/result" ] || return 0
  lines=$(wc -l <"$job/result")
  shown=$(cat "$job/shown")
  [ "$lines" -gt "$shown" ] || return 0
  sed -n "$((shown + 1)),${lines}p" "$job/result" | sed 's/^/station: /'
  echo "$lines" >"$job/shown"
}
(while sleep 2; do print_new_checks; done) &
follower=$!
trap 'kill "$follower" 2>/dev/null || true' EXIT
booted=yes
station_boot "$station" "$job" || booted=no
kill "$follower" 2>/dev/null || true
wait "$follower" 2>/dev/null || true
print_new_checks

passed=$(grep -c '^ok ' "$job/result" || true)
failed=$(grep -c '^FAIL ' "$job/result" || true)
# The job's last line says it ran to its end; a guest that stopped before is a failure.
if [ "$booted" = no ] || ! grep -qx 'end of the job' "$job/result"; then
  echo "station: FAILED: the guest stopped after $((passed + failed)) checks (boot: $booted); its console ends:" >&2
  tail -n 40 "$job/console.log" 2>/dev/null | tr -d '\r' >&2 || true
  failed=$((failed + 1))
fi
if [ "$failed" -gt 0 ] && [ -f "$job/installed.log" ]; then
  grep -B2 -A12 -E '^\[  FAILED  \]|Failure' "$job/installed.log" | head -80 >&2 || true
fi
echo "station: the job took $(($(date +%s) - started)) s"
echo "station: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
