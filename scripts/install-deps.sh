#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Zembrolite needs.
# Safe to run again: it only asks apt for what is missing.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  fonts-wine wine
  # The 64-bit edition, and the bench of hosts whose kernel runs no 32-bit code.
  wine64 g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  # Wine's camera source and the library behind it.
  libgphoto2-6 libgphoto2-port12
  xvfb xauth x11-utils imagemagick
  googletest
  clang-format
  # The installer: WiX source to MSI, tables added and read, Authenticode signatures.
  wixl msitools osslsigncode openssl
  # The emulated 64-bit station that runs the installed builds: a Debian guest made with
  # debootstrap.
  qemu-system-x86 debootstrap e2fsprogs
)
# Wine's 32-bit loader, for the bench of the 32-bit build; only where the kernel runs 32-bit code.
packages_i386=(wine32:i386 libwine:i386)

# A 93-byte i386 program that only exits with 0: a kernel without IA-32 emulation refuses it.
host_runs_32_bit_code() {
  local probe
  probe=$(mktemp)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=1
  rm -f "$probe"
  return $status
}

missing_of() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      echo "$p"
    fi
  done
}

mapfile -t missing < <(missing_of "${packages[@]}")
missing_i386=()
if host_runs_32_bit_code; then
  mapfile -t missing_i386 < <(missing_of "${packages_i386[@]}")
fi
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_i386[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]} ${missing_i386[*]}); run as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing_i386[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails the refresh for one index; what the other indexes and
# the cache hold may still be all that is needed, so the install decides.
if ! apt-get update -q; then
  echo "install-deps: WARNING: apt-get update failed (a mirror being synced?); installing from the indexes at hand" >&2
fi
if apt-get install -y -q --no-install-recommends "${missing[@]}" "${missing_i386[@]}"; then
  exit 0
fi
if [ ${#missing_i386[@]} -gt 0 ]; then
  # With :i386 packages unavailable apt refuses their amd64 twins too; the 64-bit bench needs
  # none of them, and the emulated station runs the 32-bit build.
  echo "install-deps: WARNING: ${missing_i386[*]} cannot be installed now; the bench runs the 64-bit build and the emulated station covers the 32-bit one" >&2
  if [ ${#missing[@]} -eq 0 ] || apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    exit 0
  fi
fi
echo "install-deps: FAILED: these packages cannot be installed from the package mirror now: ${missing[*]} ${missing_i386[*]} (see apt's messages above)" >&2
exit 1
