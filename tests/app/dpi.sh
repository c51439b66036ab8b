#!/usr/bin/env bash
# The program's windows at 96, 120, 144 and 192 dpi: Wine reads the DPI from
# HKCU\Control Panel\Desktop\LogPixels when its server starts, so each DPI runs in a prefix of
# its own with its own server. Screenshots of both windows at each DPI land in screenshots/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/bench-env.sh
source "$root/scripts/bench-env.sh"
bench_use_display  # the bench fixture's
status=0
export WINEPREFIX=$ZEMBROLITE_BENCH_BUILD/dpi-prefix WINEDLLOVERRIDES="winemenubuilder.exe=d"
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
bench_make_prefix
for dpi in 96 120 144 192; do
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w
  # The layout tests of the main window, the options dialog and the list of sources, which expect their twips and
  # points at ZEMBROLITE_DPI, then the caption check and the screenshots.
  ZEMBROLITE_DPI=$dpi "$WINE" "$ZEMBROLITE_BENCH_BUILD/app/app_tests.exe" --gtest_also_run_disabled_tests \
    --gtest_filter='MainWindow.LayoutFontsMenuFocusAndIcon:OptionsDialog.WhatTheUserSeesAtTheScreensDpi:SourceList.*:DISABLED_AtDpi.*' ||
    { echo "dpi: the windows do not follow $dpi dpi" >&2; status=1; }
done
for shot in "$ZEMBROLITE_BENCH_BUILD"/screenshots/*dpi.bmp; do
  convert "$shot" "${shot%.bmp}.png" && rm "$shot"
done
mkdir -p "$ZEMBROLITE_BUILD/screenshots"
cp "$ZEMBROLITE_BENCH_BUILD"/screenshots/*-144dpi.png "$ZEMBROLITE_BUILD/screenshots/" 2>/dev/null || true
exit $status
