#!/usr/bin/env bash
# The bench as ctest fixtures, so that a run of any set of tests (ctest -R included) sets up
# what its tests need and takes it down again at the end:
#   up           display, prefix, scanner, provider and one persistent wineserver for the run
#   down         stops the wineserver, the fault drives and a display that up started
#   faults-up    S: a 1 MB disk that fills up (root only)
#   faults-down  unmounts them
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench-env.sh
source "$here/bench-env.sh"
bench_use_test_namer

case "${1:-}" in
  up)
    bench_start_display
    bench_prepare
    # One wineserver for the whole run: each test program then starts in a fraction of a second.
    # A server left from the set-up (registering the provider starts one), or a persistent one
    # from an earlier run by hand, must end first: "wineserver -p" refuses to start beside it.
    # The server, and Wine's own service processes that start with the first program, outlive
    # this script, so neither may hold ctest's output pipes open.
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
    ;;
  down) bench_down ;;
  faults-up) bench_mount_faults ;;
  faults-down) bench_unmount_faults ;;
  *)
    echo "usage: $0 up|down|faults-up|faults-down" >&2
    exit 2
    ;;
esac
