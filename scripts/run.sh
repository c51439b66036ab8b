#!/usr/bin/env bash
# Installs what is missing, builds Zembrolite and starts it in the bench.
# With a display, it runs until it is closed. Without one, it runs on a virtual display:
# a screenshot of the main window is saved and its path printed, then the program is closed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null

had_display=no
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then had_display=yes; fi

# shellcheck source=bench-env.sh
source "$root/scripts/bench-env.sh"
bench_up

# The program keeps its Settings.ini and Logs beside itself, in a folder that survives rebuilds.
run_folder=$ZEMBROLITE_BUILD/run
mkdir -p "$run_folder"
cp "$ZEMBROLITE_BENCH_BUILD/bin/Zembrolite.exe" "$run_folder/"

if [ "$had_display" = yes ]; then
  exec "$WINE" "$run_folder/Zembrolite.exe"
fi

trap bench_down EXIT
"$WINE" "$run_folder/Zembrolite.exe" &
for _ in $(seq 1 150); do
  if xwininfo -name "Zembrolite 1.0.0" >/dev/null 2>&1; then break; fi
  sleep 0.2
done
sleep 1  # let the window finish painting
mkdir -p "$ZEMBROLITE_BUILD/screenshots"
shot=$ZEMBROLITE_BUILD/screenshots/main-window.png
import -window "Zembrolite 1.0.0" "$shot"
echo "$shot"
wineserver -k
