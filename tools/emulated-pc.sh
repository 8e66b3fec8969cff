#!/usr/bin/env bash
# The emulated PC, for machines whose kernel runs no 32-bit program: Debian's own amd64 kernel,
# which does, under qemu's software emulation, over this machine's own root shared read-only, so
# that the Wine installed here runs.
# usage: tools/emulated-pc.sh <cache> <tree> <folder>... -- <command> [args...]
# Runs the command here while the emulated PC serves the cross build <tree>: with ZP_EMULATED_PC
# set, <tree>/wine-run sends each program there (tools/emulated-pc-run.sh). Each <folder> is shared
# read-write at its own path: the tree and whatever its programs read or write must be in one.
# Exit status: the command's.
set -euo pipefail
fail() { echo "emulated PC: $*" >&2; exit 125; }
[ $# -ge 5 ] || { sed -n '4,8s/^# //p' "$0" >&2; exit 2; }
cache=$(mkdir -p "$1" && cd "$1" && pwd) tree=$(cd "$2" && pwd) folders=() && shift 2
here=$(cd "$(dirname "$0")/.." && pwd) i386=/usr/lib/i386-linux-gnu
while [ "$1" != -- ]; do folders+=("$(cd "$1" && pwd)") && shift; done && shift
hash qemu-system-x86_64 cpio mkfs.ext4 2>/dev/null && [ -d $i386/wine ] ||
  fail "qemu, cpio, mkfs.ext4 or 32-bit Wine is missing; run tools/install-deps.sh as root."

# Wine's many small lookups are slow over 9p, so its i386 files come from a disk packed here, made
# anew (and the saved Wine prefixes dropped) when they or this script change. The modules load in
# this order: each needs the ones before it.
modules="virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci virtio_blk
  netfs fscache 9pnet 9pnet_virtio 9p crc16 mbcache crc32c_generic jbd2 ext4"
fingerprint=$({ cat "$0"; find $i386 -printf '%p %s %T@\n'; } | sha256sum | cut -c1-16)
if [ "$(cat "$cache/fingerprint" 2>/dev/null)" != "$fingerprint" ]; then
  echo "emulated PC: making the kernel, initrd and disk in $cache (once, about 15 s)"
  rm -rf "$cache"/{make,fingerprint,wineprefix-*}
  mkdir -p "$cache"/make/initrd/{bin,modules,proc,dev,newroot} && cd "$cache/make"
  kernel=$(apt-cache depends linux-image-amd64 |
    awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
  timeout 600 apt-get download "${kernel:-linux-image-amd64}" busybox-static &>download.log ||
    fail "apt-get download failed (see $cache/make/download.log); run apt-get update as root."
  dpkg-deb -x linux-image-*.deb kernel && dpkg-deb -x busybox-static_*.deb busybox
  cp kernel/boot/vmlinuz-* vmlinuz && cp busybox/bin/busybox initrd/bin/
  for m in $modules; do cp "$(find kernel/lib/modules -name "$m.ko")" initrd/modules/; done
  echo $modules >initrd/modules/order
  cat >initrd/init <<'EOF'
#!/bin/busybox sh
# PID 1: this machine's root read-only (tmpfs on /tmp, /run, /root), the i386 disk, the job share
# and the shares it lists, then its job.sh, output on ttyS1. Messages go to ttyS0's log.
/bin/busybox --install -s /bin
mount -t proc proc /proc && mount -t devtmpfs dev /dev
for m in $(cat /modules/order); do insmod /modules/$m.ko; done
r=/newroot o=trans=virtio,version=9p2000.L,msize=512000
mount -t 9p -o ro,cache=loose,$o root $r || poweroff -f
mount -t proc proc $r/proc; mount -t sysfs sys $r/sys; mount -t devtmpfs dev $r/dev
mkdir $r/dev/pts $r/dev/shm && ln -s /proc/self/fd $r/dev/fd
mount -t devpts devpts $r/dev/pts; mount -t tmpfs shm $r/dev/shm; mount -t tmpfs run $r/run
mount -t tmpfs -o mode=1777 tmp $r/tmp; mount -t tmpfs -o mode=700 root $r/root
mount -o ro /dev/vda $r/usr/lib/i386-linux-gnu
mkdir $r/run/job && mount -t 9p -o $o job $r/run/job || poweroff -f
while read -r tag path; do
  mkdir -p "$r$path" && mount -t 9p -o cache=loose,$o $tag "$r$path" || poweroff -f
done <$r/run/job/shares
ip link set lo up && stty -F /dev/ttyS1 raw -echo
echo "emulated PC: up in $(cut -d' ' -f1 /proc/uptime) s" >/dev/ttyS1
chroot $r /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root LANG=C.UTF-8 /bin/bash /run/job/job.sh </dev/null >/dev/ttyS1 2>&1
sync
poweroff -f
EOF
  chmod +x initrd/init && (cd initrd && find . | cpio -o -H newc --quiet | gzip -1) >initrd.gz
  size=$(($(du -sm $i386 | cut -f1) * 5 / 4 + 64))
  mkfs.ext4 -q -F -O ^has_journal -d $i386 i386.img ${size}M >/dev/null
  mv vmlinuz initrd.gz i386.img "$cache" && cd "$cache" && rm -rf make
  echo "$fingerprint" >fingerprint
fi

# The job share, the spool of tools/emulated-pc-run.sh, lists the other shares (sorted: one inside
# another is not hidden by it) and brings job.sh, which serves the tree with its Wine prefix in
# memory (over 9p a Wine program took 35 s to start, not 8), made once and kept in the cache: it
# comes and goes as prefix.tar on the job share, which writes 70 times as fast (no page cache).
job=$(mktemp -d "$cache/job.XXXXXX") qemu=
trap '{ kill -KILL $qemu && wait $qemu; } 2>/dev/null || :; wait; rm -rf "$job"' EXIT  # silently
share() { echo "local,path=${1//,/,,},mount_tag=$2,security_model=none,multidevs=remap"; }
args=(-virtfs "$(share / root),readonly=on" -virtfs "$(share "$job" job)")
mapfile -t folders < <(printf '%s\n' "${folders[@]}" | sort -u)
for i in "${!folders[@]}"; do
  args+=(-virtfs "$(share "${folders[$i]}" f$i)") && echo "f$i ${folders[$i]}" >>"$job/shares"
done
saved=$(cat "$here/cmake/make-wineprefix.sh" "$tree/wine-env.sh" | sha256sum | cut -c1-16)
saved=$cache/wineprefix-$saved.tar && ln "$saved" "$job/prefix.tar" 2>/dev/null || true
# The guest's kernel finds its two TSCs apart and would read the time from the emulated HPET, a
# device access at every clock read (Wine reads it all the time): qemu's TSCs agree by design.
clock="tsc=reliable clocksource=tsc"
printf 'exec %q serve /run/job %q\n' "$here/tools/emulated-pc-run.sh" "$tree" >"$job/job.sh"
qemu-system-x86_64 -accel tcg -smp 2 -m 4G -kernel "$cache/vmlinuz" -initrd "$cache/initrd.gz" \
  -append "console=ttyS0 quiet mitigations=off $clock panic=-1" -no-reboot -display none \
  -monitor none -net none -serial "file:$cache/console.log" -serial stdio \
  -drive "file=$cache/i386.img,format=raw,if=virtio,readonly=on" "${args[@]}" </dev/null &
qemu=$! && echo $qemu >"$job/pid"
until [ -e "$job/ready" ]; do  # so that no test's time limit counts the start
  kill -0 $qemu 2>/dev/null || fail "it stopped before it was ready; see $cache/console.log."
  sleep 1
done
ln -f "$job/prefix.tar" "$saved" 2>/dev/null || true  # one made this time, for the next
ZP_EMULATED_PC=$job "$@"
