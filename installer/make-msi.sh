#!/usr/bin/env bash
# Makes the station package Zembrolite-<version>-<arch>.msi from a build's binaries:
#   make-msi.sh <x86|x64> <version> <build folder> <strip tool> <output .msi>
# The files are stripped copies; with ZEMBROLITE_SIGN_PFX (and ZEMBROLITE_SIGN_PASSWORD) set,
# they and the package are signed with that certificate.
# wixl writes the package; msibuild then adds what wixl cannot: the station users' rights on
# Settings.ini and Logs, and the attributes that keep both through upgrades, repairs and
# uninstalls (wixl drops Permanent and NeverOverwrite).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arch=$1 version=$2 build=$3 strip=$4 output=$5
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

sign() {
  [ -n "${ZEMBROLITE_SIGN_PFX:-}" ] || return 0
  osslsigncode sign -pkcs12 "$ZEMBROLITE_SIGN_PFX" -pass "${ZEMBROLITE_SIGN_PASSWORD:-}" -n Zembrolite \
    -h sha256 -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}

workers=ZembroliteScan32.exe
[ "$arch" = x64 ] && workers="$workers ZembroliteScan64.exe"
for file in Zembrolite.exe $workers ImageNameProvider.dll VirtualScanner.ds; do
  "$strip" --strip-all -o "$stage/$file" "$build/bin/$file"
  sign "$stage/$file"
done
cp "$build/assets/Zembrolite.ico" "$here/Settings.ini" "$stage/"

# The TWAIN Data Source Manager as the TWAIN Working Group releases it (signed by them, never
# re-signed here), with its licence headed by where its source is, and the codes of the
# components of its merge modules.
dsm=$here/../third_party/twaindsm
mkdir "$stage/dsm32" "$stage/dsm64"
cp "$dsm/32/TWAINDSM.dll" "$stage/dsm32/"
cp "$dsm/64/TWAINDSM.dll" "$stage/dsm64/"
cat "$dsm/source.txt" "$dsm/license.txt" >"$stage/TWAINDSM-LICENSE.txt"
component_in() {  # component_in <merge module> <folder>: the code of its component in that folder
  msiinfo export "$1" Component | awk -F'\t' -v folder="$2" 'index($3, folder ".") == 1 { print $2 }' | tr -d '{}\r'
}
dsm32=$(component_in "$dsm/32/TWAINDSM32.msm" SystemFolder)
dsm64=$(component_in "$dsm/64/TWAINDSM64.msm" System64Folder)

# Warnings of wixl mark elements it dropped: they fail the build.
(cd "$stage" && G_DEBUG=fatal-warnings wixl -a "$arch" -D Version="$version" -D Arch="$arch" \
  -D TwainDsm32Component="$dsm32" -D TwainDsm64Component="$dsm64" -o package.msi "$here/Zembrolite.wxs")
msibuild "$stage/package.msi" -i "$here/MsiLockPermissionsEx.idt"
# msidbComponentAttributesPermanent (16) and NeverOverwrite (128), besides 64bit (256) on x64.
if [ "$arch" = x64 ]; then attributes=400; else attributes=144; fi
msibuild "$stage/package.msi" -q \
  "UPDATE \`Component\` SET \`Attributes\` = $attributes WHERE \`Component\` = 'Settings' OR \`Component\` = 'Logs'"

# The settings that a deployment gives as public properties, written into Settings.ini by
# WriteIniValues (there is no RemoveIniValues: the file is the station's, and an uninstall or an
# upgrade leaves it as it is). Each key's component is installed only in a session whose command
# line names its property (transitive: the condition is asked anew at every repair and upgrade).
# Truth values and the folder are first put in the file's own forms; a value that cannot be
# written fails the install, before anything is written, with an error that names it.
msibuild "$stage/package.msi" -i "$here/IniFile.idt"
msibuild "$stage/package.msi" -i "$here/CustomAction.idt"
on() { echo "$1 ~= \"True\" OR $1 ~= \"Yes\" OR $1 = \"1\" OR $1 = \"-1\""; }
off() { echo "$1 ~= \"False\" OR $1 ~= \"No\" OR $1 = \"0\""; }
sequence=(
  "SetPathAsGiven|OUTPUTFOLDER >> \"\\\"|101"
  "SetPathWithSeparator|OUTPUTFOLDER AND NOT (OUTPUTFOLDER >> \"\\\")|102"
  "SetExternalProgramOn|$(on USEEXTERNALPROGRAM)|103"
  "SetExternalProgramOff|$(off USEEXTERNALPROGRAM)|104"
  "SetScanUIOn|$(on SCANUI)|105"
  "SetScanUIOff|$(off SCANUI)|106"
  "CheckDPI|DPI AND NOT (DPI >= 1 AND DPI <= 32767)|111"
  "CheckCOLORTYPE|COLORTYPE AND NOT (COLORTYPE = \"BW\" OR COLORTYPE = \"GREY\" OR COLORTYPE = \"RGB\")|112"
  "CheckSCANUI|SCANUI AND NOT ZbScanUI|113"
  "CheckUSEEXTERNALPROGRAM|USEEXTERNALPROGRAM AND NOT ZbIsArray|114"
  "WriteIniValues||5100"
)
for row in "${sequence[@]}"; do
  IFS='|' read -r action condition number <<<"$row"
  msibuild "$stage/package.msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('$action', '$condition', $number)"
done
components=(OutputFolderSetting:OUTPUTFOLDER DpiSetting:DPI ColorTypeSetting:COLORTYPE ScanUISetting:SCANUI
  ExternalProgramSetting:EXTERNALPROGRAM ExternalProgramFlagSetting:USEEXTERNALPROGRAM)
# msidbComponentAttributesTransitive (64), besides 64bit (256) on x64.
if [ "$arch" = x64 ]; then transitive=320; else transitive=64; fi
for pair in "${components[@]}"; do
  msibuild "$stage/package.msi" -q \
    "UPDATE \`Component\` SET \`Condition\` = '${pair#*:}', \`Attributes\` = $transitive WHERE \`Component\` = '${pair%%:*}'"
done
msibuild "$stage/package.msi" -q "UPDATE \`Property\` SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;OUTPUTFOLDER;DPI;COLORTYPE;SCANUI;EXTERNALPROGRAM;USEEXTERNALPROGRAM' WHERE \`Property\` = 'SecureCustomProperties'"

# wixl writes no file versions; without its version the manager would count as an unversioned file,
# which replaces a newer manager that a driver installed. The version and language are the merge
# module's.
for bits in 32 64; do
  [ "$bits" = 32 ] || [ "$arch" = x64 ] || continue
  read -r version_of_dsm language_of_dsm < <(msiinfo export "$dsm/$bits/TWAINDSM$bits.msm" File |
    awk -F'\t' 'NR > 3 && $3 ~ /TWAINDSM/ { print $5, $6; exit }')
  msibuild "$stage/package.msi" -q \
    "UPDATE \`File\` SET \`Version\` = '$version_of_dsm', \`Language\` = '$language_of_dsm' WHERE \`File\` = 'TwainDsm$bits'"
done

sign "$stage/package.msi"
mv "$stage/package.msi" "$output"
