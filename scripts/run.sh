#!/usr/bin/env bash
# Installs what is missing, builds Zembrolite and starts it in the bench.
# With a display, it runs until it is closed. Without one, it runs on a virtual display:
# a screenshot of the main window is saved and its path printed, then the program is closed.
# Either way nothing of the bench is left running or mounted when it returns.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null

had_display=no
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then had_display=yes; fi

# shellcheck source=bench-env.sh
source "$root/scripts/bench-env.sh"
trap bench_down EXIT
bench_start_display
bench_prepare

# The program keeps its Settings.ini and Logs beside itself, in a folder that survives rebuilds.
run_folder=$ZEMBROLITE_BUILD/run
mkdir -p "$run_folder"
cp "$ZEMBROLITE_BENCH_BUILD/bin/Zembrolite.exe" "$run_folder/"

if [ "$had_display" = yes ]; then
  "$WINE" "$run_folder/Zembrolite.exe"
  exit 0
fi

"$WINE" "$run_folder/Zembrolite.exe" &
# The main window by the start of its title, whatever the version after it.
main_window() { xwininfo -root -tree 2>/dev/null | awk '/"Zembrolite( [^"]*)?": \(/ { print $1; exit }'; }
window=
for _ in $(seq 1 150); do
  window=$(main_window)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "run: the main window did not appear" >&2; exit 1; }
sleep 1  # let the window finish painting
mkdir -p "$ZEMBROLITE_BUILD/screenshots"
shot=$ZEMBROLITE_BUILD/screenshots/main-window.png
import -window "$window" "$shot"
echo "$shot"
