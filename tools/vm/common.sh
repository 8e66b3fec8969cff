# The emulated 32-bit PC, shared by image.sh and run-job.sh (sourced).
# Everything large lives in one folder under build/.
vm_dir=${ZP_VM_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/vm}
vm_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
vm_memory_mb=${ZP_VM_MEMORY_MB:-3072}
vm_cpus=${ZP_VM_CPUS:-2}
# What the guest holds besides a minimal Debian: 32-bit Wine, a screen,
# ImageMagick for the pictures, ctest.
vm_packages=wine,wine32,xvfb,xauth,x11-utils,imagemagick,procps,cmake
vm_suite=bookworm

vm_say() { echo "emulated win32: $*"; }
vm_fail() {
  echo "emulated win32: $*" >&2
  exit 1
}

# The recipe's fingerprint: a change to the scripts that make the image or
# to what it holds makes a new image.
vm_recipe() {
  { cat "$vm_scripts/image.sh" "$vm_scripts/guest-init.sh" "$vm_scripts/initrd-init.sh"
    echo "$vm_suite $vm_packages"; } | sha256sum | cut -c1-16
}

# vm_boot <serial-log> <seconds> <kernel-extra> <drive>...: boots the guest
# under software emulation (no KVM on these machines) with a time limit.
# Exit status 124: the limit ran out.
vm_boot() {
  local log=$1 limit=$2 extra=$3
  shift 3
  local drives=() d
  for d in "$@"; do drives+=(-drive "$d"); done
  timeout --kill-after=10 "$limit" qemu-system-i386 -accel tcg,thread=multi -smp "$vm_cpus" -cpu core2duo \
    -m "$vm_memory_mb" -M pc -kernel "$vm_dir/vmlinuz" -initrd "$vm_dir/initrd.img" \
    -append "console=ttyS0 loglevel=4 panic=-1 init=/sbin/zp-guest-init $extra" \
    "${drives[@]}" -display none -monitor none -serial "file:$log" -net none -no-reboot
}
