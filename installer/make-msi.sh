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

for file in Zembrolite.exe ImageNameProvider.dll VirtualScanner.ds; do
  "$strip" --strip-all -o "$stage/$file" "$build/bin/$file"
  sign "$stage/$file"
done
cp "$build/assets/Zembrolite.ico" "$here/Settings.ini" "$stage/"

# Warnings of wixl mark elements it dropped: they fail the build.
(cd "$stage" && G_DEBUG=fatal-warnings wixl -a "$arch" -D Version="$version" -D Arch="$arch" \
  -o package.msi "$here/Zembrolite.wxs")
msibuild "$stage/package.msi" -i "$here/MsiLockPermissionsEx.idt"
# msidbComponentAttributesPermanent (16) and NeverOverwrite (128), besides 64bit (256) on x64.
if [ "$arch" = x64 ]; then attributes=400; else attributes=144; fi
msibuild "$stage/package.msi" -q \
  "UPDATE \`Component\` SET \`Attributes\` = $attributes WHERE \`Component\` = 'Settings' OR \`Component\` = 'Logs'"
sign "$stage/package.msi"
mv "$stage/package.msi" "$output"
