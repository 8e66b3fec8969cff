#!/bin/sh
# PID 1 of the emulated 32-bit PC. With zpstage=2 on the kernel's command
# line it finishes the Debian install (debootstrap's second stage, which
# only an i386 machine can run); otherwise it mounts the job disk at /job,
# runs /job/job.sh with its output on the serial console and in
# /job/out/console.log, and powers off. The last line on the console is
# always "ZP-GUEST-DONE rc=N".
PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
HOME=/root TZ=UTC LANG=C.UTF-8
export PATH HOME TZ LANG
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
# What udev would make: bash's process substitution needs /dev/fd.
ln -sfn /proc/self/fd /dev/fd
ln -sf /proc/self/fd/0 /dev/stdin
ln -sf /proc/self/fd/1 /dev/stdout
ln -sf /proc/self/fd/2 /dev/stderr
mount -o remount,rw /
mount -t tmpfs -o mode=755 tmpfs /run
mount -t tmpfs -o mode=1777,size=1200m tmpfs /tmp
hostname i386vm
ip link set lo up 2>/dev/null || /usr/local/bin/busybox ip link set lo up

power_off() {  # rc
  echo "ZP-GUEST-DONE rc=$1"
  cd /
  sync
  mountpoint -q /job 2>/dev/null && umount /job
  sync
  # A reboot is the quickest way out: qemu runs with -no-reboot. The
  # Debian install unmounts /proc on its way out.
  mountpoint -q /proc || mount -t proc proc /proc
  echo b >/proc/sysrq-trigger
  sleep 10
  exit 1
}

if grep -q zpstage=2 /proc/cmdline; then
  t0=$(date +%s)
  /debootstrap/debootstrap --second-stage
  rc=$?
  echo "ZP-GUEST: second stage ended with $rc after $(($(date +%s) - t0)) s"
  rm -f /var/cache/apt/archives/*.deb
  echo i386vm >/etc/hostname
  ln -sf /proc/self/mounts /etc/mtab
  printf '127.0.0.1\tlocalhost\n127.0.1.1\ti386vm\n' >/etc/hosts
  for f in /usr/lib/wine/wine /usr/bin/wineserver /usr/bin/xvfb-run /usr/bin/ctest /usr/bin/convert; do
    [ -x $f ] || { echo "ZP-GUEST: $f is missing after the install"; rc=4; }
  done
  power_off $rc
fi

mkdir -p /job
if ! mount /dev/vdb /job 2>/dev/null || [ ! -f /job/job.sh ]; then
  echo "ZP-GUEST: no job disk with a job.sh"
  power_off 2
fi
mkdir -p /job/out
echo "ZP-GUEST: job started, $(nproc) CPUs, $(awk '/MemTotal/ { print $2 " kB" }' /proc/meminfo)"
t0=$(date +%s)
{ bash /job/job.sh; echo $? >/job/out/rc; } 2>&1 | tee /job/out/console.log
echo "ZP-GUEST: job took $(($(date +%s) - t0)) s"
power_off "$(cat /job/out/rc 2>/dev/null || echo 255)"
