#!/usr/bin/env bash
# The emulated capture station: a Debian 12 amd64 guest with Wine's 64-bit and 32-bit halves, as
# a 64-bit Windows with its 32-bit subsystem. Built from Debian's packages when missing and kept
# between runs in one folder outside the clone ($ZEMBROLITE_STATION_STORE, /var/cache/zembrolite-
# station), keyed by what went into it: this script, the package list and the guest's init. A
# fresh clone reuses it; a change to any of them builds a new one and removes the old.
# Prints the station's folder: disk.img (its root), vmlinuz, initrd.img, the prefix made inside.
#   station-image.sh   (as root: debootstrap, chroot and mkfs)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=station-boot.sh
source "$root/scripts/station-boot.sh"
guest=$root/tests/station
store=${ZEMBROLITE_STATION_STORE:-/var/cache/zembrolite-station}
key=$(cat "${BASH_SOURCE[0]}" "$guest/guest-packages.txt" "$guest/guest-init" "$guest/make-prefix.sh" |
  sha256sum | cut -c1-16)
station=$store/$key

fail() {
  echo "station: $*" >&2
  exit 1
}

mkdir -p "$store"
exec 9>"$store/lock"
flock 9  # one build at a time; a second run waits for it and then reuses it
if [ -f "$station/ready" ]; then
  echo "$station"
  exit 0
fi
[ "$(id -u)" -eq 0 ] || fail "building the station needs root (debootstrap, chroot)"
for old in "$store"/*/; do rm -rf "$old"; done
mkdir -p "$station"
log=$station/build.log
echo "station: building the guest in $station (log: $log)" >&2
started=$(date +%s)

# The same Debian mirror as the host's own apt.
mirror=$({ cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } |
  sed -nE 's/^URIs:[[:space:]]*([^[:space:]]+).*/\1/p; s/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+).*/\2/p' |
  { grep -v security || true; } | head -1)
[ -n "$mirror" ] || fail "no Debian mirror in the host's apt sources"

rootfs=$station/root
cleanup_mounts() {
  for mounted in "$rootfs/proc" "$rootfs/sys" "$rootfs/dev/pts" "$rootfs/dev"; do
    if mountpoint -q "$mounted" 2>/dev/null; then umount -l "$mounted" || true; fi
  done
}
trap cleanup_mounts EXIT

debootstrap --variant=minbase --arch=amd64 bookworm "$rootfs" "$mirror" >>"$log" 2>&1 ||
  fail "debootstrap failed; see $log"
mount -t proc proc "$rootfs/proc"
mount -t sysfs sys "$rootfs/sys"
mount --bind /dev "$rootfs/dev"
mount --bind /dev/pts "$rootfs/dev/pts"
printf 'deb %s bookworm main\ndeb %s bookworm-updates main\n' "$mirror" "$mirror" >"$rootfs/etc/apt/sources.list"
printf '#!/bin/sh\nexit 101\n' >"$rootfs/usr/sbin/policy-rc.d"  # no services start in the chroot
chmod +x "$rootfs/usr/sbin/policy-rc.d"
# An initramfs with only what mounts the root: Debian's default one takes as long as the rest.
mkdir -p "$rootfs/etc/initramfs-tools/conf.d"
echo MODULES=list >"$rootfs/etc/initramfs-tools/conf.d/station"
printf '%s\n' virtio_pci virtio_blk ext4 >"$rootfs/etc/initramfs-tools/modules"
packages=$(grep -v '^#' "$guest/guest-packages.txt" | tr '\n' ' ')
# shellcheck disable=SC2086
chroot "$rootfs" /bin/bash -c "
  set -e
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get update -q
  apt-get install -y -q --no-install-recommends -o Dpkg::Options::=--force-confold $packages
  apt-get clean
" >>"$log" 2>&1 || fail "installing the guest's packages failed; see $log"
cleanup_mounts
rm -f "$rootfs/usr/sbin/policy-rc.d"
install -m 755 "$guest/guest-init" "$rootfs/sbin/station-init"
mkdir -p "$rootfs/job"
echo station >"$rootfs/etc/hostname"
cp -L "$rootfs/vmlinuz" "$station/vmlinuz"
cp -L "$rootfs/initrd.img" "$station/initrd.img"
# The disk holds the root and room for the tests' largest image (written into the run's overlay).
mkfs.ext4 -q -F -L station -d "$rootfs" "$station/disk.img" 12G >>"$log" 2>&1 || fail "mkfs.ext4 failed; see $log"
rm -rf "$rootfs"

# Wine's prefix takes minutes to make under emulation: made once here, into the image itself.
job=$station/prefix-job
mkdir -p "$job"
cp "$guest/make-prefix.sh" "$job/job.sh"
station_boot "$station" "$job" persistent || fail "the guest did not boot to make its Wine prefix; see $job/console.log"
grep -qx 'prefix ready' "$job/result" 2>/dev/null || fail "the guest could not make its Wine prefix; see $job/console.log"
rm -rf "$job"
echo "built in $(($(date +%s) - started)) s" >"$station/ready"
echo "station: guest built in $(($(date +%s) - started)) s" >&2
echo "$station"
