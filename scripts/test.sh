#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

# shellcheck source=bench-env.sh
source "$root/scripts/bench-env.sh"
# Tests steer image names through the provider's stand-in.
export ZEMBROLITE_NAMER=$ZEMBROLITE_BENCH_BUILD/stand-ins/ImageNameProvider.dll
trap bench_down EXIT
bench_up
# One wineserver for the whole run: each test program then starts in a fraction of a second.
# Wine's own service processes start with the first program; start them here, away from the
# output pipes of the tests, which they would otherwise hold open.
# A server left from the set-up (registering the provider starts one), or a persistent one from
# an earlier run by hand, must end first: "wineserver -p" refuses to start beside a running one.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
wineserver -p
"$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true

status=0
echo "== native checks (sanitizers)"
ctest --test-dir "$ZEMBROLITE_BUILD/native" --output-on-failure || status=1
"$root/scripts/fuzz.sh" || status=1
echo "== Windows tests under Wine"
ctest --test-dir "$ZEMBROLITE_BENCH_BUILD" --output-on-failure || status=1
exit $status
