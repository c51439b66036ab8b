#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

# shellcheck source=bench-env.sh
source "$root/scripts/bench-env.sh"
# The Wine tests set the bench up and take it down as ctest fixtures; this is for a run that is
# cut short.
trap bench_down EXIT

status=0
echo "== source format"
(cd "$root" && git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror) || status=1
echo "== native checks (sanitizers)"
ctest --test-dir "$ZEMBROLITE_BUILD/native" --output-on-failure || status=1
"$root/scripts/fuzz.sh" || status=1
echo "== Windows tests under Wine"
ctest --test-dir "$ZEMBROLITE_BENCH_BUILD" --output-on-failure || status=1
exit $status
