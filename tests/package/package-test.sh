#!/usr/bin/env bash
# The station package, read with msiinfo and run by Wine's real msiexec in a prefix of its own:
# its tables; a silent install with the virtual scanner; the installed program pressing and
# saving; an upgrade and a repair that keep the station's settings and logs; an uninstall that
# leaves nothing of the package.
#   package-test.sh <strip tool of the bench build>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/bench-env.sh
source "$root/scripts/bench-env.sh"
strip=$1
build=$ZEMBROLITE_BENCH_BUILD
if [ "$ZEMBROLITE_BENCH_ARCH" = win64 ]; then arch=x64 twain=twain_64; else arch=x86 twain=twain_32; fi
package=$(ls "$build"/Zembrolite-*-"$arch".msi)
work=$build/package-test
rm -rf "$work"
mkdir -p "$work/out"
status=0
fail() {
  echo "package: $*" >&2
  status=1
}

# The tables: rights for the station's users on exactly Settings.ini and Logs, no
# self-registration, the shipped files only, the settings and logs kept, the scanner off.
check_tables() {
  local msi=$1 rights files kept
  rights=$(msiinfo export "$msi" MsiLockPermissionsEx | tail -n +4 | cut -f2,3 | sort | tr '\t\r\n' ':  ')
  [ "$rights" = "LOGSFOLDER:CreateFolder Settings.ini:File " ] || fail "$msi: rights on '$rights'"
  ! msiinfo tables "$msi" | grep -qxE 'SelfReg|LockPermissions|Class' || fail "$msi: self-registration or other rights"
  files=$(msiinfo export "$msi" File | tail -n +4 | cut -f3 | sort | tr '\r\n' '  ')
  [ "$files" = "ImageNameProvider.dll Settings.ini VirtualScanner.ds Zembrolite.exe " ] || fail "$msi: files $files"
  kept=""
  for attributes in $(msiinfo export "$msi" Component | awk -F'\t' '$1 == "Settings" || $1 == "Logs" { print $4 }'); do
    kept+="$((attributes & 144)) "
  done
  [ "$kept" = "144 144 " ] || fail "$msi: settings and logs not permanent and never overwritten ($kept)"
  msiinfo export "$msi" Feature | grep -qP '^VirtualScanner\t.*\t1000\t' || fail "$msi: scanner feature on by default"
  # The packed program is large-address-aware (the PE file header's characteristics, bit 0x20).
  local unpacked pe characteristics
  unpacked=$(mktemp -d)
  msiextract -C "$unpacked" "$msi" >/dev/null
  local program
  program=$(find "$unpacked" -name Zembrolite.exe)
  pe=$(od -An -tu4 -j60 -N4 "$program" | tr -d ' ')
  characteristics=$(od -An -tu2 -j$((pe + 22)) -N2 "$program" | tr -d ' ')
  ((characteristics & 0x20)) || fail "$msi: the program is not large-address-aware"
  rm -rf "$unpacked"
}
for msi in "$package" "$ZEMBROLITE_BUILD"/Zembrolite-*-x86.msi; do
  [ -f "$msi" ] && check_tables "$msi"
done

export WINEPREFIX=$work/prefix WINEDLLOVERRIDES="winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null || true' EXIT
bench_use_display
bench_make_prefix
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/Zembrolite"
msiexec() { "$WINE" msiexec "$@" /qn </dev/null >/dev/null 2>&1; }
windows_path() { "$WINE" winepath -w "$1" 2>/dev/null; }
class_server() {
  "$WINE" reg query 'HKCR\CLSID\{59B72879-1F28-4C03-9A0C-515EF48D616B}\InprocServer32' 2>/dev/null | grep -F .dll || true
}
shortcut() { find "$drive" -path '*Start Menu/Programs/Zembrolite.lnk' | head -1; }

# In a prefix just made, Wine's installer service may not answer yet: the first install is tried
# again after a pause.
installed_once=no
for attempt in 1 2 3; do
  if msiexec /i "$(windows_path "$package")" ADDLOCAL=ALL "/l*v" 'C:\install.log'; then
    installed_once=yes
    break
  fi
  echo "package: install attempt $attempt failed; Wine's installer log ends:" >&2
  tail -c 600 "$WINEPREFIX/drive_c/install.log" 2>/dev/null | tr -d '\0' >&2 || true
  sleep 3
done
[ "$installed_once" = yes ] || fail "silent install failed"
for file in Zembrolite.exe ImageNameProvider.dll Settings.ini Logs; do
  [ -e "$installed/$file" ] || fail "not installed: $file"
done
[ -f "$drive/windows/$twain/VirtualScanner.ds" ] || fail "the virtual scanner feature installed nothing"
[ -n "$(shortcut)" ] || fail "no Start-menu shortcut"
class_server | grep -qF 'C:\Program Files\Zembrolite\ImageNameProvider.dll' || fail "provider class not registered"

# Wine's manager loads only sane.ds: the installed scanner goes there. The administrator names
# the output folder; the installed program presses once (named by the installed provider) and
# saves its settings through "OK".
cp "$drive/windows/$twain/VirtualScanner.ds" "$drive/windows/$twain/sane.ds"
printf '[Path]\r\nPath=%s\\\r\n' "$(windows_path "$work/out")" >"$installed/Settings.ini"
ZEMBROLITE_INSTALLED='C:\Program Files\Zembrolite' ZEMBROLITE_SHARED_OUTPUT="$(windows_path "$work/out")" \
  "$WINE" "$build/app/app_tests.exe" --gtest_also_run_disabled_tests \
  --gtest_filter=DISABLED_Installed.* || fail "the installed program did not press or save"
ls "$work/out" | grep -qE '^[0-9]{8}-[0-9A-Z_-]+-[0-9A-Z]{6}-[0-9]{4}\.bmp$' || fail "no image named by the provider"

# An upgrade to a higher version, and a repair of a lost program file, keep both.
echo "a line the station logged" >"$installed/Logs/Error.log"
cp "$installed/Settings.ini" "$work/settings-before"
# The higher version is signed on the way, with a certificate made here and thrown away after.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Zembrolite test signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.pfx" -passout pass:station
ZEMBROLITE_SIGN_PFX=$work/sign.pfx ZEMBROLITE_SIGN_PASSWORD=station \
  bash "$root/installer/make-msi.sh" "$arch" 1.0.1 "$build" "$strip" "$work/Zembrolite-1.0.1-$arch.msi"
mkdir "$work/unpacked"
msiextract -C "$work/unpacked" "$work/Zembrolite-1.0.1-$arch.msi" >/dev/null
for signed in "$work/Zembrolite-1.0.1-$arch.msi" $(find "$work/unpacked" -name '*.exe' -o -name '*.dll' -o -name '*.ds'); do
  osslsigncode verify -CAfile "$work/cert.pem" -ignore-cdp -in "$signed" >/dev/null 2>&1 || fail "not signed: $signed"
done
msiexec /i "$(windows_path "$work/Zembrolite-1.0.1-$arch.msi")" || fail "upgrade failed"
"$WINE" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
  grep -qE 'DisplayVersion +REG_SZ +1\.0\.1' || fail "the upgrade did not register 1.0.1"
rm "$installed/Zembrolite.exe"
# Wine's msiexec cannot take /f with a package; the properties that /f stands for do the same.
msiexec /i "$(windows_path "$work/Zembrolite-1.0.1-$arch.msi")" REINSTALL=ALL REINSTALLMODE=omus || fail "repair failed"
[ -f "$installed/Zembrolite.exe" ] || fail "repair did not restore the program"
cmp -s "$installed/Settings.ini" "$work/settings-before" || fail "upgrade or repair changed Settings.ini"
grep -q "a line the station logged" "$installed/Logs/Error.log" || fail "upgrade or repair lost the log"

# Uninstall: nothing of the package stays; the station's settings, logs and images do.
msiexec /x "$(windows_path "$work/Zembrolite-1.0.1-$arch.msi")" || fail "uninstall failed"
for file in Zembrolite.exe ImageNameProvider.dll; do [ ! -e "$installed/$file" ] || fail "left: $file"; done
[ ! -e "$drive/windows/$twain/VirtualScanner.ds" ] || fail "left: the virtual scanner"
[ -z "$(shortcut)" ] || fail "left: the shortcut"
[ -z "$(class_server)" ] || fail "left: the provider class"
! "$WINE" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | grep -q Zembrolite ||
  fail "left: the Apps & features entry"
cmp -s "$installed/Settings.ini" "$work/settings-before" || fail "uninstall removed or changed Settings.ini"
[ -f "$installed/Logs/Error.log" ] && [ -n "$(ls "$work/out")" ] || fail "uninstall removed logs or images"
exit $status
