#!/usr/bin/env bash
# Two capture stations, each a Wine prefix with a computer name of its own (a UTS namespace with
# its own hostname, so root only) and the release name provider, press "scan" once each into one
# shared output folder. Both images must stay, under names that differ and name their station.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/bench-env.sh
source "$root/scripts/bench-env.sh"
work=$ZEMBROLITE_BENCH_BUILD/stations
rm -rf "$work"
mkdir -p "$work/shared"
shared=$(cd "$work/shared" && pwd)
bench_use_display  # the bench fixture's

for station in stationa stationb; do
  unshare --uts bash -c '
    set -euo pipefail
    hostname "$1"
    export WINEPREFIX=$2/$1-prefix ZEMBROLITE_NAMER=$ZEMBROLITE_BENCH_BUILD/bin/ImageNameProvider.dll
    source "$3/scripts/bench-env.sh"
    trap "\"\$WINESERVER\" -k 2>/dev/null || true" EXIT
    bench_make_prefix && bench_install_scanner && bench_register_namer
    ZEMBROLITE_SHARED_OUTPUT="Z:${4//\//\\}\\" "$WINE" "$ZEMBROLITE_BENCH_BUILD/app/app_tests.exe" \
      --gtest_also_run_disabled_tests --gtest_filter=DISABLED_Station.OnePressIntoTheSharedFolder
  ' station "$station" "$work" "$root" "$shared"
done

status=0
images=("$shared"/*.bmp)
echo "images: ${images[*]##*/}"
[ ${#images[@]} -eq 2 ] || { echo "expected two images, one from each station" >&2; status=1; }
for station in STATIONA STATIONB; do
  found=$(find "$shared" -name "????????-$station-*.bmp" | wc -l)
  [ "$found" -eq 1 ] || { echo "expected one image named for $station, found $found" >&2; status=1; }
done
for image in "${images[@]}"; do
  [ "$(head -c 2 "$image")" = BM ] || { echo "$image is not a bitmap" >&2; status=1; }
done
exit $status
