#!/bin/bash
# Runs inside the emulated station as /job/job.sh: the x86 package installed silently with the
# scanner feature into the 64-bit prefix with 32-bit support, the installed 32-bit files checked
# where a 64-bit Windows puts them with the settings of a deployment (tests/package/deployment.sh),
# the installed program pressed through Wine's 32-bit manager (the 32-bit app_tests.exe's table
# of presses, Presses.*), an upgrade and an uninstall.
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
uninstall_entry() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null | tr -d '\r'
}

# The install, as an administrator's deployment tool runs it.
files_in_program_files_x86() {
  for file in Zembrolite.exe ImageNameProvider.dll Settings.ini Logs; do
    [ -e "$installed/$file" ] || { echo "missing: $file" && return 1; }
  done
  [ ! -e "$drive/Program Files/Zembrolite" ] && [ -n "$(find "$drive" -path '*Start Menu/Programs/Zembrolite.lnk')" ]
}
class_in_32_bit_view() {
  in_view 32 | grep -qF 'C:\Program Files (x86)\Zembrolite\ImageNameProvider.dll' && [ -z "$(in_view 64)" ]
}
source_in_twain_32() { [ -f "$drive/windows/twain_32/VirtualScanner.ds" ] && [ ! -e "$drive/windows/twain_64/VirtualScanner.ds" ]; }
check "install: the x86 package silently, with the scanner feature and a deployment's settings" \
  install_package 'Z:\job\Zembrolite-1.0.0-x86.msi' "${deployment_properties[@]}"
check "install: the files in Program Files (x86)\\Zembrolite, the Start-menu shortcut" files_in_program_files_x86
check "install: the provider's class in the 32-bit registry view" class_in_32_bit_view
check "install: the source in C:\\Windows\\twain_32" source_in_twain_32

use_installed_source
mkdir -p "$drive/scans"
# The test programs run from the guest's own disk: Wine's mapping of a large program from the
# 9p share faults in its first TLS callback.
mkdir -p "$drive/tests" && cp -r /job/app /job/bin "$drive/tests/"
tests='C:\tests\app\app_tests.exe'
# Each case in a run of its own, so that its outcome shows as it ends and a case that hangs
# ends by the timeout without taking the others along.
export ZEMBROLITE_INSTALLED='C:\Program Files (x86)\Zembrolite' ZEMBROLITE_SHARED_OUTPUT='C:\scans\'
export ZEMBROLITE_TIMEOUT_SCALE=${ZEMBROLITE_TIMEOUT_SCALE:-4}
deployed_settings_shown() {
  local shown
  printf '%s' "$deployed_settings" >/tmp/deployed.ini
  cmp -s "$installed/Settings.ini" /tmp/deployed.ini || return 1
  shown=$(timeout 600 wine "$tests" --gtest_also_run_disabled_tests --gtest_filter='DISABLED_Deployed.*' \
    </dev/null 2>&1 | tr -d '\r')
  echo "$shown" >>/job/installed.log
  grep -q '^\[  PASSED  \] 1 test' <<<"$shown"
}
check "install: the deployment's settings in Settings.ini and in \"Options\"" deployed_settings_shown
installed_case() {
  timeout 1200 wine "$tests" --gtest_filter="Presses.$1" \
    </dev/null 2>&1 | tr -d '\r' >>/job/installed.log
  # What a case that timed out left running (the guest has no pkill).
  for pid in $(grep -l Zembrolite.exe /proc/[0-9]*/cmdline 2>/dev/null | cut -d/ -f3); do kill "$pid"; done
  grep -q "^\[       OK \] Presses.$1 " /job/installed.log
}
cases=$(wine "$tests" --gtest_list_tests \
  --gtest_filter='Presses.*' </dev/null | tr -d '\r' | sed -n 's/^  //p')
for name in $cases; do check "installed program: $name" installed_case "$name"; done

# An upgrade and a repair keep the station's settings and logs; the uninstall leaves them and
# the images.
echo "a line the station logged" >>"$installed/Logs/Error.log"
cp "$installed/Settings.ini" /tmp/settings-before
cp "$installed/Logs/Error.log" /tmp/log-before
upgraded() {
  msiexec /i 'Z:\job\Zembrolite-1.0.1-x86.msi' && uninstall_entry | grep -qE 'DisplayVersion +REG_SZ +1\.0\.1' &&
    [ "$(uninstall_entry | grep -c 'DisplayName.*Zembrolite')" -eq 1 ] &&
    cmp -s "$installed/Settings.ini" /tmp/settings-before && cmp -s "$installed/Logs/Error.log" /tmp/log-before
}
# Wine's msiexec cannot take /f with a package; the properties that /f stands for do the same.
repaired() {
  rm "$installed/Zembrolite.exe"
  msiexec /i 'Z:\job\Zembrolite-1.0.1-x86.msi' REINSTALL=ALL REINSTALLMODE=omus && [ -f "$installed/Zembrolite.exe" ] &&
    cmp -s "$installed/Settings.ini" /tmp/settings-before && cmp -s "$installed/Logs/Error.log" /tmp/log-before
}
uninstalled() {
  msiexec /x 'Z:\job\Zembrolite-1.0.1-x86.msi' || return 1
  for file in Zembrolite.exe ImageNameProvider.dll; do [ ! -e "$installed/$file" ] || return 1; done
  [ ! -e "$drive/windows/twain_32/VirtualScanner.ds" ] && [ -z "$(in_view 32)" ] &&
    ! uninstall_entry | grep -q Zembrolite &&
    [ -z "$(find "$drive" -path '*Start Menu/Programs/Zembrolite.lnk')" ] &&
    cmp -s "$installed/Settings.ini" /tmp/settings-before && [ -f "$installed/Logs/Error.log" ] &&
    [ -n "$(ls "$drive/scans"/*.bmp)" ]
}
check "upgrade to 1.0.1: Settings.ini and Logs kept" upgraded
check "repair: a lost program file restored, settings and logs kept" repaired
check "uninstall: nothing of the package left; settings, logs and images kept" uninstalled
wineserver -k
