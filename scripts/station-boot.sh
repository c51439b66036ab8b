# Sourced: boots the emulated station once with one job.
#   station_boot <station folder> <job folder> [persistent]
# The job folder is shared into the guest as /job; the guest's init runs /job/job.sh there and
# powers off. Its console goes to <job>/console.log. Each boot starts from the unchanged disk
# (-snapshot) unless persistent. Fails when QEMU fails or the boot outlasts
# ZEMBROLITE_STATION_TIMEOUT seconds (default 2400).
#
# The guest runs under QEMU's software emulation (TCG), about 18 times slower than the host for
# CPU-bound code. These hosts show a /dev/kvm, but a guest under it hangs before its first line
# (QEMU's "max" and "host" models abort on an MSR; others spin in the host kernel), so KVM is
# only used when ZEMBROLITE_STATION_ACCEL=kvm asks for it. TCG in QEMU 7.2 needs SMAP off: with
# it on, the guest kernel oopses on the 32-bit iret that Wine uses to resume a thread, and every
# 32-bit process dies.

station_accel() { echo "${ZEMBROLITE_STATION_ACCEL:-tcg}"; }

station_boot() {
  local station=$1 job=$2 mode=${3:-snapshot}
  local accel snapshot=-snapshot cpus
  accel=$(station_accel)
  [ "$mode" = persistent ] && snapshot=
  cpus=$(nproc 2>/dev/null || echo 2)
  rm -f "$job/console.log" "$job/result"
  # shellcheck disable=SC2086
  timeout --kill-after=10 "${ZEMBROLITE_STATION_TIMEOUT:-2400}" \
    qemu-system-x86_64 -accel "$accel$([ "$accel" = tcg ] && echo ,thread=multi)" \
    -cpu "$([ "$accel" = tcg ] && echo max,-smap || echo host)" -smp "$cpus" -m 6G \
    -kernel "$station/vmlinuz" -initrd "$station/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet loglevel=3 init=/sbin/station-init panic=-1" \
    -drive "file=$station/disk.img,format=raw,if=virtio,cache=unsafe" $snapshot \
    -fsdev "local,id=job,path=$job,security_model=none" -device virtio-9p-pci,fsdev=job,mount_tag=job \
    -display none -monitor none -serial "file:$job/console.log" -no-reboot -nodefaults </dev/null
}
