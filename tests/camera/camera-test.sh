#!/usr/bin/env bash
# Wine's own camera source, gphoto2.ds, which nobody on this project wrote, serving the photo of a
# mass-storage camera: a tmpfs with a DCIM folder at its root, which libgphoto2's disk port finds.
# The 64-bit program presses through the 2.x manager with the camera as its only source, first
# with one photo on the camera, which must be saved as ImageMagick decodes it here, then with none.
# Runs as root (the mount); a machine that refuses the mount fails the test and says why.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/bench-env.sh
source "$root/scripts/bench-env.sh"
bench_use_display
work=$ZEMBROLITE_BENCH_BUILD/camera-test
sources=$WINEPREFIX/drive_c/windows/$bench_twain_folder
camera=$(mktemp -d /tmp/zembrolite-camera.XXXXXX)
rm -rf "$work"
mkdir -p "$work"

# Whatever happens: the camera unmounted, the virtual scanner back, the source's setting gone.
restore() {
  if mountpoint -q "$camera"; then umount "$camera" || umount -l "$camera"; fi
  rmdir "$camera" 2>/dev/null || true
  if [ -f "$work/sane.ds" ]; then mv -f "$work/sane.ds" "$sources/sane.ds"; fi
  "$WINE" reg delete 'HKCU\Software\Wine\Gphoto2' /v SkipUI /f >/dev/null 2>&1 || true
}
trap restore EXIT

if ! mount -t tmpfs -o size=16m tmpfs "$camera"; then
  echo "camera: this machine refuses to mount a tmpfs at $camera (the test needs root and mounts): not run" >&2
  exit 1
fi
mkdir -p "$camera/DCIM/100TEST"
bash "$root/tests/camera/make-photo.sh" "$work"
cp "$work/IMG_0001.JPG" "$camera/DCIM/100TEST/"
# The source's own dialog transfers every photo without showing itself.
"$WINE" reg add 'HKCU\Software\Wine\Gphoto2' /v SkipUI /t REG_DWORD /d 1 /f >/dev/null
mv "$sources/sane.ds" "$work/sane.ds"  # the camera is the only source

tests=$ZEMBROLITE_BENCH_BUILD/app/app_tests.exe
run_case() {
  ZEMBROLITE_CAMERA_PHOTO=$1 "$WINE" "$tests" --gtest_also_run_disabled_tests \
    --gtest_filter='CameraPresses.DISABLED_PhotosOfWinesCameraSource'
}
status=0
echo "camera: one photo"
run_case "$(bench_windows_path "$work/decoded.bmp")" || status=1
echo "camera: no photo"
rm -f "$camera/DCIM/100TEST/IMG_0001.JPG"
run_case none || status=1
exit $status
