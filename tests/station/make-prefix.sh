#!/bin/bash
# Run once in the guest when its image is built: the 64-bit Wine prefix with 32-bit support that
# every run starts from, with Tahoma where Wine looks for it.
export WINEPREFIX=/root/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:1
wine wineboot -i && wineserver -w
cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
# The 32-bit half must be there: a 64-bit-only prefix leaves syswow64 empty.
if [ -f "$WINEPREFIX/drive_c/windows/syswow64/rundll32.exe" ]; then
  echo "prefix ready" >/job/result
else
  ls "$WINEPREFIX/drive_c/windows" "$WINEPREFIX/drive_c/windows/syswow64" | head -40
fi
kill %1
