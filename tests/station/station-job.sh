#!/bin/bash
# Runs inside the emulated station as /job/job.sh: both packages installed silently with the
# scanner feature into the 64-bit prefix with 32-bit support, each with the TWAIN manager of its
# bitness, the installed files checked where a 64-bit Windows puts them, the x86 one with the
# settings of a deployment (tests/package/deployment.sh); each installed program pressed through
# its 2.x manager (the 32-bit one by the 32-bit app_tests.exe's presses, the 64-bit one by the
# 64-bit's); the x64 package uninstalled, the manager that the x86 program still needs kept; an
# upgrade that meets a newer manager, a repair and an uninstall of the x86 package.
# One line per check in /job/result: "ok <check>" or "FAIL <check>".
# shellcheck source=guest-env.sh
source /job/guest-env.sh
# shellcheck source=../package/deployment.sh
source /job/deployment.sh
result=/job/result
: >"$result"
check() {  # check <name> <command...>
  local name=$1
  shift
  if "$@"; then echo "ok $name" | tee -a "$result"; else echo "FAIL $name" | tee -a "$result"; fi
}

class='HKCR\CLSID\{59B72879-1F28-4C03-9A0C-515EF48D616B}\InprocServer32'
in_view() { wine reg query "$class" "/reg:$1" 2>/dev/null | tr -d '\r' | grep -F .dll; }
uninstall_entries() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "/reg:$1" 2>/dev/null | tr -d '\r'
}
# The manager of each bitness as the packages deploy it, in the folder Windows keeps it in.
manager32=$drive/windows/syswow64/TWAINDSM.dll
manager64=$drive/windows/system32/TWAINDSM.dll
shipped() { cmp -s "$1" "/job/twaindsm/$2/TWAINDSM.dll"; }

# The installs, as an administrator's deployment tool runs them.
files_of_x86() {
  for file in Zembrolite.exe ZembroliteScan32.exe ImageNameProvider.dll Settings.ini Logs TWAINDSM-LICENSE.txt; do
    [ -e "$installed/$file" ] || { echo "missing: $file" && return 1; }
  done
  [ ! -e "$installed64" ] && [ -n "$(find "$drive" -path '*Start Menu/Programs/Zembrolite.lnk')" ] &&
    [ -f "$drive/windows/twain_32/VirtualScanner.ds" ] && [ ! -e "$drive/windows/twain_64/VirtualScanner.ds" ] &&
    shipped "$manager32" 32
}
class_in_32_bit_view() {
  in_view 32 | grep -qF 'C:\Program Files (x86)\Zembrolite\ImageNameProvider.dll' && [ -z "$(in_view 64)" ]
}
check "install x86: the package silently, with the scanner feature and a deployment's settings" \
  install_package 'Z:\job\Zembrolite-1.0.0-x86.msi' "${deployment_properties[@]}"
check "install x86: the files in Program Files (x86)\\Zembrolite, the shortcut, the source in twain_32, the 32-bit manager" \
  files_of_x86
check "install x86: the provider's class in the 32-bit registry view" class_in_32_bit_view
deployed_settings() { printf '%s' "$deployed_settings" | cmp -s "$installed/Settings.ini" -; }
check "install x86: the deployment's settings in Settings.ini" deployed_settings
choose_installed_sources

# The test programs run from the guest's own disk: Wine's mapping of a large program from the
# 9p share faults in its first TLS callback.
mkdir -p "$drive/scans" "$drive/tests"
cp -r /job/app /job/app64 /job/bin "$drive/tests/"
# Each case in a run of its own, so that its outcome shows as it ends and a case that hangs ends
# by the timeout without taking the others along.
export ZEMBROLITE_SHARED_OUTPUT='C:\scans\' ZEMBROLITE_TIMEOUT_SCALE=${ZEMBROLITE_TIMEOUT_SCALE:-4}
installed_case() {  # installed_case <program's folder> <test program> <case>
  ZEMBROLITE_INSTALLED=$1 timeout 1200 wine "$2" --gtest_filter="$3" </dev/null 2>&1 | tr -d '\r' >>/job/installed.log
  # What a case that timed out left running (the guest has no pkill).
  for pid in $(grep -l Zembrolite /proc/[0-9]*/cmdline 2>/dev/null | cut -d/ -f3); do kill "$pid" 2>/dev/null; done
  grep -qF "[       OK ] $3 " /job/installed.log
}
# The presses of the table that the installed program shows through the manager its package
# deployed; the table of faults names every image alike through the tests' stand-in provider,
# the one without a manager needs the bench's, and the stranger on the channel and the missing
# worker change the program's folder.
cases() {
  wine "$1" --gtest_list_tests --gtest_filter="$2" </dev/null | tr -d '\r' |
    awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }'
}
tests='C:\tests\app\app_tests.exe' program='C:\Program Files (x86)\Zembrolite'
for name in $(cases "$tests" 'Presses.*:*PressesThrough.*/Twain2Manager:-*EachFault*:*Stranger*:*WorkerMissing*'); do
  check "installed x86 program: $name" installed_case "$program" "$tests" "$name"
done

files_of_x64() {
  for file in Zembrolite.exe ZembroliteScan32.exe ZembroliteScan64.exe ImageNameProvider.dll Settings.ini Logs \
    TWAINDSM-LICENSE.txt; do
    [ -e "$installed64/$file" ] || { echo "missing: $file" && return 1; }
  done
  [ -n "$(find "$drive" -path '*Start Menu/Programs/Zembrolite (64-bit).lnk')" ] &&
    [ -f "$drive/windows/twain_64/VirtualScanner.ds" ] && shipped "$manager64" 64 && shipped "$manager32" 32 &&
    in_view 64 | grep -qF 'C:\Program Files\Zembrolite\ImageNameProvider.dll'
}
check "install x64: the package silently, with the scanner feature" install_package 'Z:\job\Zembrolite-1.0.0-x64.msi'
check "install x64: the files in Program Files\\Zembrolite, the shortcut, the source in twain_64, both managers, the provider's class in the 64-bit view" \
  files_of_x64
tests64='C:\tests\app64\app_tests.exe'
colours='Managers/PressesThrough.FixedSettingsInEachColourType/Twain2Manager'
check "installed x64 program: $colours" installed_case 'C:\Program Files\Zembrolite' "$tests64" "$colours"
# One program for every driver: the x64 program lists the sources of both bitnesses in its own
# list, and presses the x86 package's 32-bit scanner chosen there through its 32-bit worker and
# the 32-bit manager.
thirty_two='Presses.ChooserListsBothBitnessesAndThe32BitChoiceScansThroughThe32BitWorker'
check "installed x64 program: $thirty_two" installed_case 'C:\Program Files\Zembrolite' "$tests64" "$thirty_two"

# A real camera's photos: Wine's own camera source as the only source of the installed x64
# program's 2.x manager, on a mass-storage camera mounted here, with the photo the host made and
# decoded (tests/camera/make-photo.sh), and then with none.
camera=/tmp/camera
camera_case() {  # camera_case <the decoded photo, or none>
  local name='CameraPresses.DISABLED_PhotosOfWinesCameraSource'
  ZEMBROLITE_CAMERA_PHOTO=$1 ZEMBROLITE_INSTALLED='C:\Program Files\Zembrolite' timeout 1200 \
    wine "$tests64" --gtest_also_run_disabled_tests --gtest_filter="$name" </dev/null 2>&1 | tr -d '\r' >>/job/installed.log
  grep -c "^\[       OK \] $name " /job/installed.log | grep -qx "$2"
}
camera_up() {
  [ -e /etc/mtab ] || ln -s /proc/self/mounts /etc/mtab  # where libgphoto2 looks for mounted cameras
  mkdir -p "$camera" && mount -t tmpfs -o size=16m tmpfs "$camera" && mkdir -p "$camera/DCIM/100TEST" &&
    cp /job/camera/IMG_0001.JPG "$camera/DCIM/100TEST/" &&
    wine reg add 'HKCU\Software\Wine\Gphoto2' /v SkipUI /t REG_DWORD /d 1 /f >/dev/null &&
    mv "$drive/windows/twain_64/VirtualScanner.ds" /tmp/VirtualScanner.ds
}
check "camera: a tmpfs with a DCIM folder mounted, the camera the x64 manager's only source" camera_up
check "installed x64 program: Wine's camera source, two photos with its dialog, none without" \
  camera_case 'Z:\job\camera\decoded.bmp' 1
rm -f "$camera/DCIM/100TEST/IMG_0001.JPG"
check "installed x64 program: Wine's camera source, an empty camera" camera_case none 2
mv /tmp/VirtualScanner.ds "$drive/windows/twain_64/VirtualScanner.ds" 2>/dev/null
umount "$camera" 2>/dev/null

# The x64 package goes; the 32-bit manager, which the x86 package deployed too, stays for the
# 32-bit program, which still scans through it.
x64_uninstalled() {
  msiexec /x 'Z:\job\Zembrolite-1.0.0-x64.msi' && [ ! -e "$installed64/Zembrolite.exe" ] && [ ! -e "$manager64" ] &&
    shipped "$manager32" 32 && ! uninstall_entries 64 | grep -q 'Zembrolite (64-bit)'
}
check "uninstall x64: its files and its manager gone, the 32-bit manager kept" x64_uninstalled
check "installed x86 program after that: $colours" installed_case "$program" "$tests" "$colours"

# An upgrade and a repair keep the station's settings and logs, and the newer manager that a
# driver brought meanwhile (a file with a higher version than the package's); the uninstall
# leaves the settings, the logs and the images.
echo "a line the station logged" >>"$installed/Logs/Error.log"
cp "$installed/Settings.ini" /tmp/settings-before
cp "$installed/Logs/Error.log" /tmp/log-before
cp "$drive/windows/syswow64/version.dll" "$manager32"  # Wine's, version 10.0
kept() {
  cmp -s "$installed/Settings.ini" /tmp/settings-before && cmp -s "$installed/Logs/Error.log" /tmp/log-before &&
    cmp -s "$manager32" "$drive/windows/syswow64/version.dll"
}
upgraded() {
  msiexec /i 'Z:\job\Zembrolite-1.0.1-x86.msi' && uninstall_entries 32 | grep -qE 'DisplayVersion +REG_SZ +1\.0\.1' &&
    [ "$(uninstall_entries 32 | grep -c 'DisplayName.*Zembrolite')" -eq 1 ] && kept
}
# Wine's msiexec cannot take /f with a package; the properties that /f stands for do the same.
repaired() {
  rm "$installed/Zembrolite.exe"
  msiexec /i 'Z:\job\Zembrolite-1.0.1-x86.msi' REINSTALL=ALL REINSTALLMODE=omus && [ -f "$installed/Zembrolite.exe" ] &&
    kept
}
uninstalled() {
  msiexec /x 'Z:\job\Zembrolite-1.0.1-x86.msi' || return 1
  for file in Zembrolite.exe ZembroliteScan32.exe ImageNameProvider.dll TWAINDSM-LICENSE.txt; do
    [ ! -e "$installed/$file" ] || return 1
  done
  [ ! -e "$drive/windows/twain_32/VirtualScanner.ds" ] && [ -z "$(in_view 32)" ] &&
    ! uninstall_entries 32 | grep -q Zembrolite &&
    [ -z "$(find "$drive" -path '*Start Menu/Programs/Zembrolite.lnk')" ] &&
    cmp -s "$installed/Settings.ini" /tmp/settings-before && [ -f "$installed/Logs/Error.log" ] &&
    [ -n "$(ls "$drive/scans"/*.bmp)" ]
}
check "upgrade x86 to 1.0.1: Settings.ini, Logs and a newer manager kept" upgraded
check "repair x86: a lost program file restored, settings, logs and the newer manager kept" repaired
check "uninstall x86: nothing of the package left; settings, logs and images kept" uninstalled
wineserver -k
echo "end of the job" >>"$result"
