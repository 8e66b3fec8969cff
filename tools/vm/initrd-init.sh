#!/bin/busybox sh
# /init of the guest's small initrd: Debian's 686 kernel has the virtio disk
# and ext4 drivers as modules, so they are loaded here (in load order)
# before the root disk can be mounted; then the kernel's init= takes over.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $(cat /modules.list); do insmod /modules/$m.ko || echo "initrd: insmod $m failed"; done
init=/sbin/init
for a in $(cat /proc/cmdline); do case $a in init=*) init=${a#init=} ;; esac; done
i=0
while [ ! -b /dev/vda ] && [ $i -lt 100 ]; do sleep 0.2; i=$((i + 1)); done
mkdir -p /newroot
if ! mount -t ext4 -o rw /dev/vda /newroot; then
  echo "ZP-GUEST-DONE rc=3 (initrd: cannot mount the root disk /dev/vda)"
  echo o >/proc/sysrq-trigger
fi
umount /proc /sys
mount --move /dev /newroot/dev
exec switch_root /newroot "$init"
