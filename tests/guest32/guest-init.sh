#!/bin/sh
# The guest's init: mounts what wine needs, runs the host's /mnt/share/run.sh with
# its output in /mnt/share/console.log, and powers the machine off.
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH HOME=/root
mount -t proc proc /proc
mount -t sysfs sys /sys 2>/dev/null
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm /tmp
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -o remount,rw /
modprobe -q 9pnet_virtio 2>/dev/null
modprobe -q 9p 2>/dev/null
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 share /mnt/share
if [ -f /mnt/share/run.sh ]; then
    bash /mnt/share/run.sh >/mnt/share/console.log 2>&1
    echo "exit $?" >>/mnt/share/console.log
fi
sync
umount /mnt/share 2>/dev/null
mount -o remount,ro / 2>/dev/null
echo o >/proc/sysrq-trigger
sleep 10
