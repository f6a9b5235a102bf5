#!/usr/bin/env bash
# Builds (or reuses) a Debian guest that runs 32-bit Windows programs under wine32,
# for booting with qemu under software emulation. The result is a folder holding
#   kernel, initrd   the guest's stock kernel and an initramfs limited to virtio + ext4
#   root.img         the root file system (ext4) with the Wine stage's template prefix
#                    (64-bit Wine, running 32-bit programs as WoW64) in /root/work/template
#   stamp            the hash of this recipe, so a changed recipe builds anew
# Usage: build-guest.sh GUEST_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_tests=$(cd "$here/../wine" && pwd)
guest=${1:?usage: build-guest.sh GUEST_DIR}
stamp=$(cat "$here/build-guest.sh" "$here/guest-init.sh" "$wine_tests/wine-lib.sh" | sha256sum | cut -c1-16)

if [ -f "$guest/stamp" ] && [ "$(cat "$guest/stamp")" = "$stamp" ] && [ -f "$guest/root.img" ]; then
    echo "guest: reusing the ready image in $guest"
    exit 0
fi

log() { echo "guest: $(date +%T) $*"; }
rm -rf "$guest"
mkdir -p "$guest"
root="$guest/rootfs"

# The machine's own Debian mirror, read from its apt sources (never written into the project).
mirror=$(sed -n 's/^URIs:[[:space:]]*\(http[^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1)
[ -n "$mirror" ] || mirror=$(awk '$1=="deb" && $3 ~ /^bookworm$/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null)
[ -n "$mirror" ] || { echo "guest: no Debian mirror found in the apt sources" >&2; exit 1; }

log "debootstrap (minbase, amd64, bookworm)"
debootstrap --variant=minbase --arch=amd64 bookworm "$root" "$mirror" >"$guest/debootstrap.log" 2>&1 \
    || { tail -n 30 "$guest/debootstrap.log" >&2; exit 1; }

log "wine64, wine32:i386 and a kernel inside the guest"
mkdir -p "$root/etc/initramfs-tools/conf.d"
echo "MODULES=list" >"$root/etc/initramfs-tools/conf.d/swk.conf"
printf 'virtio_pci\nvirtio_blk\next4\n' >>"$root/etc/initramfs-tools/modules"
mount --bind /dev "$root/dev"
mount -t proc proc "$root/proc"
trap 'umount -l "$root/proc" "$root/dev" 2>/dev/null || true' EXIT
chroot "$root" /bin/sh -c '
    set -e
    export DEBIAN_FRONTEND=noninteractive
    dpkg --add-architecture i386
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends -o Dpkg::Options::=--force-unsafe-io \
        wine64 wine32:i386 linux-image-amd64 kmod python3 liblnk-utils >/dev/null
    apt-get clean
' >"$guest/chroot.log" 2>&1 || { tail -n 30 "$guest/chroot.log" >&2; exit 1; }
umount -l "$root/proc" "$root/dev"
trap - EXIT

cp "$root"/boot/vmlinuz-* "$guest/kernel"
cp "$root"/boot/initrd.img-* "$guest/initrd"
install -m 755 "$here/guest-init.sh" "$root/sbin/swk-init"
mkdir -p "$root/mnt/share"

log "root image"
mkfs.ext4 -q -F -L swkroot -d "$root" "$guest/root.img" 10G  # sparse; room for a prefix per scenario
rm -rf "$root"

log "first boot: the Wine stage's template prefix, made inside the guest"
mkdir -p "$guest/share"
cp "$wine_tests/wine-lib.sh" "$guest/share/"
cat >"$guest/share/run.sh" <<'RUN'
set -e
export SWK_WINE_WORK=/root/work SWK_WIN_BUILD=/nonexistent
mkdir -p /root/work
. /mnt/share/wine-lib.sh
swk_wine_template
test -f /root/work/template/system.reg && echo prefix-ready >/mnt/share/result
RUN
"$here/boot-guest.sh" "$guest" "$guest/share" persistent
grep -q prefix-ready "$guest/share/result" || { echo "guest: the wine prefix was not created" >&2; cat "$guest/share/console.log" >&2 || true; exit 1; }
rm -rf "$guest/share"
echo "$stamp" >"$guest/stamp"
log "ready"
