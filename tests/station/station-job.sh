#!/bin/bash
# Runs inside the emulated station as /job/job.sh: the x86 package installed silently with the
# scanner feature into the 64-bit prefix with 32-bit support, the installed 32-bit files checked
# where a 64-bit Windows puts them, the installed program pressed through Wine's 32-bit manager
# (the 32-bit app_tests.exe's DISABLED_Installed cases), an upgrade and an uninstall.
# One line per check in /job/result: "ok <check>" or "FAIL <check>".
export WINEPREFIX=/root/prefix WINEARCH=win64 WINEDEBUG=-all LANG=en_US.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
result=/job/result
: >"$result"
check() {  # check <name> <command...>
  local name=$1
  shift
  if "$@"; then echo "ok $name" | tee -a "$result"; else echo "FAIL $name" | tee -a "$result"; fi
}

Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:1
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
wineserver -p
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files (x86)/Zembrolite"
class='HKCR\CLSID\{59B72879-1F28-4C03-9A0C-515EF48D616B}\InprocServer32'
msiexec() { wine msiexec "$@" /qn "/l*v" 'C:\windows\temp\msi.log' </dev/null >/dev/null 2>&1; }
in_view() { wine reg query "$class" "/reg:$1" 2>/dev/null | tr -d '\r' | grep -F .dll; }
uninstall_entry() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null | tr -d '\r'
}

# The install, as an administrator's deployment tool runs it.
installed_package() {
  for attempt in 1 2 3; do  # Wine's installer service may not answer at once in a new session
    msiexec /i 'Z:\job\Zembrolite-1.0.0-x86.msi' ADDLOCAL=ALL && return 0
    echo "install attempt $attempt failed" && tail -c 800 "$drive/windows/temp/msi.log" | tr -d '\0'
    sleep 5
  done
  return 1
}
files_in_program_files_x86() {
  for file in Zembrolite.exe ImageNameProvider.dll Settings.ini Logs; do
    [ -e "$installed/$file" ] || { echo "missing: $file" && return 1; }
  done
  [ ! -e "$drive/Program Files/Zembrolite" ]
}
class_in_32_bit_view() {
  in_view 32 | grep -qF 'C:\Program Files (x86)\Zembrolite\ImageNameProvider.dll' && [ -z "$(in_view 64)" ]
}
source_in_twain_32() { [ -f "$drive/windows/twain_32/VirtualScanner.ds" ] && [ ! -e "$drive/windows/twain_64" ]; }
check "install: the x86 package silently, with the scanner feature" installed_package
check "install: the files in Program Files (x86)\\Zembrolite" files_in_program_files_x86
check "install: the provider's class in the 32-bit registry view" class_in_32_bit_view
check "install: the source in C:\\Windows\\twain_32" source_in_twain_32

# Wine's manager loads only sane.ds: the installed source goes there too.
cp "$drive/windows/twain_32/VirtualScanner.ds" "$drive/windows/twain_32/sane.ds"
mkdir -p "$drive/scans"
ZEMBROLITE_INSTALLED='C:\Program Files (x86)\Zembrolite' ZEMBROLITE_SHARED_OUTPUT='C:\scans\' \
  ZEMBROLITE_TIMEOUT_SCALE=${ZEMBROLITE_TIMEOUT_SCALE:-4} \
  wine /job/app/app_tests.exe --gtest_also_run_disabled_tests --gtest_filter='DISABLED_Installed.*' \
  </dev/null 2>&1 | tr -d '\r' | tee /job/installed.log |
  sed -nE 's/^\[ +(OK|FAILED) +\] DISABLED_Installed\.([A-Za-z]+) \(.*/\1 \2/p' |
  while read -r outcome name; do
    check "installed program: $name" [ "$outcome" = OK ]
  done
grep -q '^\[  PASSED  \] 8 tests' /job/installed.log || check "installed program: all eight cases ran" false

# An upgrade keeps the station's settings and logs; the uninstall leaves them and the images.
echo "a line the station logged" >>"$installed/Logs/Error.log"
cp "$installed/Settings.ini" /tmp/settings-before
cp "$installed/Logs/Error.log" /tmp/log-before
upgraded() {
  msiexec /i 'Z:\job\Zembrolite-1.0.1-x86.msi' && uninstall_entry | grep -qE 'DisplayVersion +REG_SZ +1\.0\.1' &&
    [ "$(uninstall_entry | grep -c 'DisplayName.*Zembrolite')" -eq 1 ] &&
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
check "uninstall: nothing of the package left; settings, logs and images kept" uninstalled
wineserver -k
