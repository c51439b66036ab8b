#!/usr/bin/env bash
# Runs a Windows program in the bench: the build's Wine prefix, the bench's display when one is
# up (listing a test program's tests needs none), a pinned locale.
# Exits with the program's own exit code.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench-env.sh
source "$here/bench-env.sh"
bench_use_test_namer
bench_use_display || true
bench_prepare >&2 || exit 125
exec "$WINE" "$@"
