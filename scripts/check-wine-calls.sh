#!/usr/bin/env bash
# Fails when a script of the test command calls one of Wine's launchers bare. On the host that
# starts Wine's 32-bit loader, which fails where the kernel runs no 32-bit code: calls go through
# the bench's $WINE and $WINESERVER. The emulated station's own scripts (tests/station) run inside
# the guest, which runs 32-bit code.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
launcher='(wine|winepath|msiexec|wineboot|wineserver)'
bare=$(git grep -nE "((^|[;&|(\`]|\\\$\\(|(^|[[:space:]])(then|do|else|exec) )[[:space:]]*(timeout [0-9]+ )?|['\"])$launcher([[:space:]]|\$)" \
  -- '*.sh' ':!tests/station/*' | grep -vE '^[^:]+:[0-9]+:[[:space:]]*#|:i386' || true)
if [ -n "$bare" ]; then
  echo "Wine's launchers called bare; call them through \$WINE and \$WINESERVER:" >&2
  echo "$bare" >&2
  exit 1
fi
