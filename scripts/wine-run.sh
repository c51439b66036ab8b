#!/usr/bin/env bash
# Runs a Windows program in the bench: the build's Wine prefix, the bench's display when one is
# up (listing a test program's tests needs none), a pinned locale.
# Exits with the program's own exit code.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench-env.sh
source "$here/bench-env.sh"
# Tests steer image names through the provider's stand-in.
export ZEMBROLITE_NAMER=${ZEMBROLITE_NAMER:-$ZEMBROLITE_BENCH_BUILD/stand-ins/ImageNameProvider.dll}
bench_use_display || true
bench_prepare >&2 || exit 125
exec "$WINE" "$@"
