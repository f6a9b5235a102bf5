#!/usr/bin/env bash
# Boots the guest once under software emulation with SHARE as /mnt/share; the guest
# runs SHARE/run.sh and powers off. MODE "persistent" keeps changes to the root image
# (used to prepare it); otherwise the image is booted with -snapshot.
set -euo pipefail
guest=${1:?usage: boot-guest.sh GUEST_DIR SHARE [persistent]}
share=${2:?}
mode=${3:-snapshot}
snapshot=(-snapshot)
[ "$mode" = persistent ] && snapshot=()
timeout "${SWK_GUEST_TIMEOUT:-2400}" qemu-system-x86_64 \
    -accel tcg,thread=multi -cpu max,-smap -smp 2 -m 4096 \
    -nographic -no-reboot -net none "${snapshot[@]}" \
    -kernel "$guest/kernel" -initrd "$guest/initrd" \
    -append "root=/dev/vda rw console=ttyS0 init=/sbin/swk-init quiet" \
    -drive "file=$guest/root.img,format=raw,if=virtio" \
    -virtfs "local,path=$share,mount_tag=share,security_model=none,id=share" \
    >"$share/qemu.log" 2>&1 </dev/null
