#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Zembrolite needs.
# Safe to run again: it only asks apt for what is missing.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  wine wine32:i386 libwine:i386 fonts-wine
  # For hosts whose kernel runs no 32-bit code: a 64-bit build under Wine's 64-bit loader.
  wine64 g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  xvfb xauth x11-utils imagemagick
  googletest
  clang-format
  # The installer: WiX source to MSI, tables added and read, Authenticode signatures.
  wixl msitools osslsigncode openssl
  # The emulated 64-bit station that runs the 32-bit build: a Debian guest made with debootstrap.
  qemu-system-x86 debootstrap e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
