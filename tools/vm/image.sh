#!/usr/bin/env bash
# Makes the emulated 32-bit PC once, in build/vm/, from Debian's packages
# alone, and reuses it until its recipe (these scripts) changes:
#   root.img      Debian 12 i386 with 32-bit Wine, Xvfb, ImageMagick, ctest
#   vmlinuz       Debian's linux-image-686 kernel; initrd.img loads its disk drivers
# This machine's kernel runs no i386 program, so debootstrap only unpacks
# the guest here; its second stage runs inside the emulated PC.
# Needs root, qemu-system-x86, debootstrap, cpio, e2fsprogs and i386 as a
# foreign architecture (tools/install-deps.sh sees to all of them).
set -euo pipefail
. "$(dirname "$0")/common.sh"

recipe=$(vm_recipe)
if [ -f "$vm_dir/root.img" ] && [ "$(cat "$vm_dir/recipe" 2>/dev/null)" = "$recipe" ]; then
  vm_say "image $vm_dir/root.img is up to date"
  exit 0
fi
for tool in qemu-system-i386 debootstrap cpio mkfs.ext4 debugfs dpkg-deb; do
  command -v $tool >/dev/null ||
    vm_fail "$tool is missing, so the emulated 32-bit PC cannot be made; run tools/install-deps.sh as root."
done
dpkg --print-foreign-architectures | grep -qx i386 ||
  vm_fail "i386 is not a foreign architecture here, so its kernel cannot be fetched; run tools/install-deps.sh as root."
[ "$(id -u)" = 0 ] || vm_fail "making the image needs root (debootstrap); run ./run.sh as root."

started=$(date +%s)
elapsed() { echo "$(($(date +%s) - started)) s"; }
rm -rf "$vm_dir"
mkdir -p "$vm_dir"
cd "$vm_dir"
vm_say "making the image in $vm_dir (about 10 minutes, once)"

# The mirror this machine's apt uses.
mirror=$(apt-get indextargets --format '$(REPO_URI)' "CODENAME: $vm_suite" 'COMPONENT: main' 'ORIGIN: Debian' 2>/dev/null | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian/}
if ! timeout 1200 debootstrap --foreign --arch=i386 --variant=minbase --include="$vm_packages" \
  "$vm_suite" "$vm_dir/root" "$mirror" >debootstrap.log 2>&1; then
  tail -n 5 debootstrap.log >&2
  vm_fail "debootstrap could not fetch the guest's packages from $mirror (the end of $vm_dir/debootstrap.log is above)."
fi
vm_say "packages unpacked, $(elapsed)"
# Left as a link to the host's /proc; the guest needs a folder.
[ -L root/proc ] && rm root/proc && mkdir root/proc

# The kernel that apt would install for i386 now, and busybox for the initrd.
kernel=$(apt-cache depends linux-image-686:i386 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
kernel=${kernel%:i386}
[ -n "$kernel" ] || vm_fail "apt knows no linux-image-686 for i386; run apt-get update."
version=${kernel#linux-image-}
mkdir debs kernel busybox
(cd debs && timeout 600 apt-get download "$kernel:i386" busybox-static:i386 >../download.log 2>&1) ||
  vm_fail "apt-get could not download $kernel and busybox-static for i386 (see $vm_dir/download.log)."
dpkg-deb -x debs/linux-image-*.deb kernel
dpkg-deb -x debs/busybox-static_*.deb busybox
cp "kernel/boot/vmlinuz-$version" vmlinuz

modules="virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci virtio_blk crc16 mbcache crc32c_generic jbd2 ext4"
mkdir -p initrd/bin initrd/modules initrd/proc initrd/sys initrd/dev initrd/newroot
cp busybox/bin/busybox initrd/bin/busybox
for m in $modules; do
  file=$(find "kernel/lib/modules/$version" -name "$m.ko*" | head -n 1)
  [ -n "$file" ] || vm_fail "the kernel $version has no module $m."
  case "$file" in
    *.xz) xz -dc "$file" >"initrd/modules/$m.ko" ;;
    *) cp "$file" "initrd/modules/$m.ko" ;;
  esac
done
echo "$modules" >initrd/modules.list
install -m 755 "$vm_scripts/initrd-init.sh" initrd/init
(cd initrd && find . | cpio -o -H newc --quiet | gzip -1) >initrd.img

install -m 755 "$vm_scripts/guest-init.sh" root/sbin/zp-guest-init
install -D -m 755 busybox/bin/busybox root/usr/local/bin/busybox
mkdir -p root/etc/dpkg/dpkg.cfg.d
printf 'force-unsafe-io\npath-exclude=/usr/share/doc/*\npath-exclude=/usr/share/man/*\n' >root/etc/dpkg/dpkg.cfg.d/zp-vm
# The disk is made from the folder: nothing is mounted on this machine.
mkfs.ext4 -q -F -L zproot -d root stage.img 6G >/dev/null
rm -rf root debs kernel busybox initrd

vm_say "disk made, $(elapsed); installing inside the emulated PC"
status=0
vm_boot stage2.log 2400 zpstage=2 "file=$vm_dir/stage.img,format=raw,if=virtio" 2>qemu.log || status=$?
if ! grep -aq 'ZP-GUEST-DONE rc=0' stage2.log; then
  [ $status = 124 ] && why="it ran out of its 40 minutes" || why="$(grep -a 'ZP-GUEST' stage2.log | tail -n 2 | tr '\n' ' ')"
  vm_fail "the install inside the emulated PC failed: $why; its serial log is $vm_dir/stage2.log. Run ./run.sh test again to start over."
fi
mv stage.img root.img
echo "$recipe" >recipe
vm_say "image ready in $(elapsed)"
