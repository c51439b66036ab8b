#!/usr/bin/env bash
# The station packages of both editions as files: their tables read with msiinfo, and a newer
# package signed with a throwaway certificate; then the deployment's properties under Wine's
# msiexec, in a prefix of its own. Installing, pressing, upgrading and uninstalling the packages
# on a 64-bit Windows is the emulated station's (tests/station).
#   package-test.sh <strip tool of the bench build>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/bench-env.sh
source "$root/scripts/bench-env.sh"
strip=$1
build=$ZEMBROLITE_BENCH_BUILD
if [ "$ZEMBROLITE_BENCH_ARCH" = win64 ]; then arch=x64; else arch=x86; fi
package=$(ls "$build"/Zembrolite-*-"$arch".msi)
work=$build/package-test
rm -rf "$work"
mkdir -p "$work"
status=0
fail() {
  echo "package: $*" >&2
  status=1
}

# The TWAIN manager's components in a package or merge module: code, folder, attributes and the
# version of its file.
manager_components() {
  local components versions
  components=$(msiinfo export "$1" Component | tr -d '\r' | awk -F'\t' 'NR > 3 && $3 ~ /^System(64)?Folder/ {
    sub(/\..*/, "", $3); print $1 "\t" $2 " " $3 " " $4 }' | sort)
  versions=$(msiinfo export "$1" File | tr -d '\r' | awk -F'\t' 'NR > 3 && $3 ~ /TWAINDSM\.dll/ { print $2 "\t" $5 }' | sort)
  join -t $'\t' <(echo "$components") <(echo "$versions") | cut -f2- | sort
}

# The tables: rights for the station's users on exactly Settings.ini and Logs, no
# self-registration, the shipped files only, the settings and logs kept, the scanner off; the
# TWAIN manager as the TWAIN Working Group's merge module deploys it.
check_tables() {
  local msi=$1 rights granted files kept bits=32
  [[ "$msi" == *-x64.msi ]] && bits=64
  rights=$(msiinfo export "$msi" MsiLockPermissionsEx | tail -n +4 | cut -f2,3 | sort | tr '\t\r\n' ':  ')
  [ "$rights" = "LOGSFOLDER:CreateFolder Settings.ini:File " ] || fail "$msi: rights on '$rights'"
  # What the station's users (BU) are granted on each: modify (0x1301bf), never full control.
  granted=$(msiinfo export "$msi" MsiLockPermissionsEx | tail -n +4 | cut -f2,4 | tr -d '\r' |
    sed -E 's/\t.*\(A;(OICI)?;([^;]*);;;BU\).*/:\2/' | sort | tr '\n' ' ')
  [ "$granted" = "LOGSFOLDER:0x1301bf Settings.ini:0x1301bf " ] || fail "$msi: the station's users are granted $granted"
  ! msiinfo tables "$msi" | grep -qxE 'SelfReg|LockPermissions|Class' || fail "$msi: self-registration or other rights"
  files=$(msiinfo export "$msi" File | tail -n +4 | cut -f3 | sort | tr '\r\n' '  ')
  [ "$files" = "ImageNameProvider.dll Settings.ini TWAINDSM-LICENSE.txt $([ $bits = 64 ] && echo "TWAINDSM.dll ")TWAINDSM.dll VirtualScanner.ds Zembrolite.exe ZembroliteScan32.exe $([ $bits = 64 ] && echo "ZembroliteScan64.exe ")" ] ||
    fail "$msi: files $files"
  [ "$(manager_components "$msi")" = "$(manager_components "$root/third_party/twaindsm/$bits/TWAINDSM$bits.msm")" ] ||
    fail "$msi: the manager's components are $(manager_components "$msi")"
  kept=""
  for attributes in $(msiinfo export "$msi" Component | awk -F'\t' '$1 == "Settings" || $1 == "Logs" { print $4 }'); do
    kept+="$((attributes & 144)) "
  done
  [ "$kept" = "144 144 " ] || fail "$msi: settings and logs not permanent and never overwritten ($kept)"
  msiinfo export "$msi" Feature | grep -qP '^VirtualScanner\t.*\t1000\t' || fail "$msi: scanner feature on by default"
  local unpacked pe characteristics
  unpacked=$(mktemp -d)
  msiextract -C "$unpacked" "$msi" >/dev/null
  local program
  program=$(find "$unpacked" -name Zembrolite.exe)
  # The scanner packed is the one that ships, not the tests' build that patches the manager's free.
  ! grep -qa 'outstanding=' "$(find "$unpacked" -name VirtualScanner.ds)" || fail "$msi: the tests' counting scanner"
  # The program and the workers, which hold the image, are large-address-aware (the PE file
  # header's characteristics, bit 0x20).
  local holder holders
  mapfile -d '' holders < <(find "$unpacked" -name 'ZembroliteScan*.exe' -print0)
  for holder in "$program" "${holders[@]}"; do
    pe=$(od -An -tu4 -j60 -N4 "$holder" | tr -d ' ')
    characteristics=$(od -An -tu2 -j$((pe + 22)) -N2 "$holder" | tr -d ' ')
    ((characteristics & 0x20)) || fail "$msi: $(basename "$holder") is not large-address-aware"
  done
  pe=$(od -An -tu4 -j60 -N4 "$program" | tr -d ' ')
  # It is terminal-server aware (the optional header's DllCharacteristics, bit 0x8000, at the same
  # place in PE32 and PE32+), so that on a Remote Desktop Session Host the Windows folder it asks
  # for, where twain_32.dll lies, is the system's and not one of the user's own.
  local dll_characteristics
  dll_characteristics=$(od -An -tu2 -j$((pe + 4 + 20 + 70)) -N2 "$program" | tr -d ' ')
  ((dll_characteristics & 0x8000)) || fail "$msi: the program is not terminal-server aware"
  # The manager's licence says where the manager's source is.
  local licence
  licence=$(find "$unpacked" -name TWAINDSM-LICENSE.txt)
  if ! grep -q 'https://github\.com/twain/twain-dsm' "$licence" || ! grep -q 'release v2\.4\.3' "$licence" ||
    ! grep -q 'GNU LESSER GENERAL PUBLIC LICENSE' "$licence"; then
    fail "$msi: TWAINDSM-LICENSE.txt does not say where the manager's source is, or lacks the licence"
  fi
  rm -rf "$unpacked"
}
editions=("$ZEMBROLITE_BUILD"/Zembrolite-*-x86.msi "$ZEMBROLITE_BUILD"/x64/Zembrolite-*-x64.msi)
for msi in "${editions[@]}"; do
  check_tables "$msi"
done
# Installed side by side, the editions share the 32-bit manager's component alone: each keeps and
# removes its own files.
codes() { msiinfo export "$1" Component | tr -d '\r' | tail -n +4 | cut -f2 | sort; }
shared=$(comm -12 <(codes "${editions[0]}") <(codes "${editions[1]}"))
[ "$shared" = "$(manager_components "${editions[0]}" | cut -d' ' -f1)" ] || fail "the editions share components $shared"

# A package signed, with a certificate made here and thrown away after.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Zembrolite test signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.pfx" -passout pass:station
ZEMBROLITE_SIGN_PFX=$work/sign.pfx ZEMBROLITE_SIGN_PASSWORD=station \
  bash "$root/installer/make-msi.sh" "$arch" 1.0.1 "$build" "$strip" "$work/Zembrolite-1.0.1-$arch.msi"
mkdir "$work/unpacked"
msiextract -C "$work/unpacked" "$work/Zembrolite-1.0.1-$arch.msi" >/dev/null
while IFS= read -r -d '' signed; do
  osslsigncode verify -CAfile "$work/cert.pem" -ignore-cdp -in "$signed" >/dev/null 2>&1 || fail "not signed: $signed"
done < <(find "$work/Zembrolite-1.0.1-$arch.msi" "$work/unpacked" \( -name '*.msi' -o -name '*.exe' -o -name '*.dll' -o -name '*.ds' \) \
  ! -name TWAINDSM.dll -print0)
# The manager goes as the TWAIN Working Group signed it.
while IFS= read -r -d '' manager; do
  cmp -s "$manager" "$root/third_party/twaindsm/32/TWAINDSM.dll" || cmp -s "$manager" "$root/third_party/twaindsm/64/TWAINDSM.dll" ||
    fail "changed: $manager"
done < <(find "$work/unpacked" -name TWAINDSM.dll -print0)

# The settings as properties: each refused value fails before anything is written and is named
# in the installer's log (Wine's writes the name of the error action, Windows' its message too);
# every property together gives exactly the deployment's Settings.ini; an
# upgrade without properties keeps the file byte for byte, one with a property changes that key.
# shellcheck source=deployment.sh
source "$root/tests/package/deployment.sh"
export WINEPREFIX=$work/prefix
bench_use_display
bench_make_prefix
# One wineserver for the deployment's Wine calls, as the bench fixture keeps one: a server left
# idle ends about 2 s after its last program, and a call that starts just then meets it ending.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
folder="$WINEPREFIX/drive_c/Program Files/Zembrolite"
log=$work/msi.log
install() { bench_msiexec "$log" /i "$(bench_windows_path "$1")" "${@:2}"; }
for refused in "${refused_properties[@]}"; do
  rm -f "$log"
  ! install "$package" "$refused" || fail "deployment: $refused was installed"
  [ ! -e "$folder" ] || fail "deployment: $refused left files"
  # The log is read whole, then searched: under pipefail, "tr | grep -q" fails whenever grep
  # stops at the name before tr has written the rest (a verbose log is over 4096 bytes, which tr
  # writes in two pieces), by tr's SIGPIPE, though the log names the action.
  logged=$(tr -d '\0' <"$log" 2>/dev/null) || logged=
  [[ $logged == *"Check${refused%%=*}"* ]] || fail "deployment: the log does not name ${refused%%=*}"
done
printf '%s' "$deployed_settings" >"$work/deployed.ini"
install "$package" "${deployment_properties[@]}" || fail "deployment: the install with every property failed"
cmp -s "$folder/Settings.ini" "$work/deployed.ini" || fail "deployment: Settings.ini is $(od -c "$folder/Settings.ini")"
# The station changes its file, as "OK" in "Options" does.
sed 's/^DPI=200/DPI=250/' "$work/deployed.ini" >"$folder/Settings.ini"
cp "$folder/Settings.ini" "$work/changed.ini"
install "$work/Zembrolite-1.0.1-$arch.msi" || fail "deployment: the upgrade without properties failed"
cmp -s "$folder/Settings.ini" "$work/changed.ini" || fail "deployment: an upgrade without properties changed Settings.ini"
bash "$root/installer/make-msi.sh" "$arch" 1.0.2 "$build" "$strip" "$work/Zembrolite-1.0.2-$arch.msi"
install "$work/Zembrolite-1.0.2-$arch.msi" COLORTYPE=BW || fail "deployment: the upgrade with a property failed"
[ "$(diff "$work/changed.ini" "$folder/Settings.ini" | grep '^[<>]' | tr -d '\r' | tr '\n' ' ')" = "< ColorType=GREY > ColorType=BW " ] ||
  fail "deployment: the upgrade with COLORTYPE changed $(diff "$work/changed.ini" "$folder/Settings.ini")"
exit $status
