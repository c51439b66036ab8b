#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh"
# The emulated station's guest takes minutes to build when missing; it builds beside the rest.
mkdir -p "${ZEMBROLITE_BUILD:-$root/build}"
station_log=${ZEMBROLITE_BUILD:-$root/build}/station-image.log
"$root/scripts/station-image.sh" >"$station_log" 2>&1 &
station_image=$!
"$root/scripts/build.sh"

# shellcheck source=bench-env.sh
source "$root/scripts/bench-env.sh"
# The Wine tests set the bench up and take it down as ctest fixtures; this is for a run that is
# cut short.
trap bench_down EXIT

status=0
echo "== source format, and Wine called through the bench's launchers"
# Our sources; the TWAIN Working Group's header keeps their layout.
(cd "$root" && git ls-files '*.cpp' '*.h' ':!third_party' | xargs clang-format --dry-run --Werror) || status=1
"$root/scripts/check-wine-calls.sh" || status=1
echo "== native checks (sanitizers)"
ctest --test-dir "$ZEMBROLITE_BUILD/native" --output-on-failure || status=1
"$root/scripts/fuzz.sh" || status=1
echo "== Windows tests under Wine ($ZEMBROLITE_BENCH_ARCH)"
ctest --test-dir "$ZEMBROLITE_BENCH_BUILD" --output-on-failure || status=1
if [ "$ZEMBROLITE_BENCH_ARCH" = win32 ]; then
  # The 64-bit bench runs on every host, where Wine's bare launchers fail as they do on a host
  # without 32-bit code: the x64 package, a table of presses of the 64-bit edition, its largest
  # image and Wine's camera source.
  echo "== the 64-bit edition under Wine (win64)"
  env -u WINEPREFIX -u WINEARCH -u WINELOADER -u WINE ZEMBROLITE_BENCH_ARCH=win64 \
    ctest --test-dir "$ZEMBROLITE_BUILD/x64" --output-on-failure \
    -R 'StationPackage|PressesThrough\.FixedSettingsInEachColourType|Presses\.LargestImage|WinesCameraSource' || status=1
fi
echo "== the packages and the installed programs on an emulated 64-bit station"
if ! wait "$station_image"; then
  echo "station: FAILED: the emulated station could not be built:" >&2
  tail -n 20 "$station_log" >&2
  status=1
elif ! "$root/tests/station/station-test.sh"; then
  status=1
fi
exit $status
