#!/usr/bin/env bash
# Runs a command inside the emulated 32-bit PC (made by image.sh) and
# brings back what it wrote. Each folder named is copied in and appears
# at the same path in the guest (CMake trees hold absolute paths); a
# folder's top-level build/ and .git/ stay behind. The command runs as
# root under bash, with no display of its own (start one with xvfb-run),
# and writes its results into $ZP_VM_OUT, which comes back as <out-folder>,
# with console.log (the whole output) and serial.log (the guest's console).
# usage: tools/vm/run-job.sh <seconds> <out-folder> <folder>... -- <command> [args...]
# Exit status: the command's; 3 when the guest failed to boot, ran out of
# its time or could not bring the results back.
set -euo pipefail
. "$(dirname "$0")/common.sh"
boot_limit=${ZP_VM_BOOT_LIMIT:-180}

limit=$1 out=$2
shift 2
folders=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  folders+=("$(cd "$1" && pwd)")
  shift
done
[ "${1:-}" = -- ] && [ $# -ge 2 ] || { sed -n '2,10s/^# \{0,1\}//p' "$0" >&2; exit 2; }
shift
stage_fail() {  # stage why
  echo "emulated win32: $1 failed: $2" >&2
  exit 3
}

[ -f "$vm_dir/root.img" ] ||
  stage_fail image "there is no image at $vm_dir/root.img; tools/vm/image.sh makes it (./run.sh test does)."
[ "$(cat "$vm_dir/recipe" 2>/dev/null)" = "$(vm_recipe)" ] ||
  stage_fail image "the image at $vm_dir/root.img is older than its recipe; tools/vm/image.sh makes it anew."

job=$(mktemp -d "$vm_dir/job.XXXXXX")
disk=$job.img
trap 'rm -rf "$job" "$disk"' EXIT
{
  echo 'set -u'
  echo 'export ZP_VM_OUT=/job/out'
  for i in "${!folders[@]}"; do
    tar -C "${folders[$i]}" --exclude=./build --exclude=./.git -cf - . | (mkdir -p "$job/folder$i" && tar -C "$job/folder$i" -xf -)
    printf 'mkdir -p %q && mount --bind /job/folder%d %q || exit 3\n' "${folders[$i]}" "$i" "${folders[$i]}"
  done
  echo 'cd /job/out'
  printf '%q ' "$@"
  echo
} >"$job/job.sh"
mkdir -p "$job/out"
# Room for what the job writes: a Wine prefix, pictures, logs.
mkfs.ext4 -q -F -L zpjob -d "$job" "$disk" "$(($(du -sm "$job" | cut -f1) + 1536))M" >/dev/null

serial=$vm_dir/serial-$(basename "$out").log
: >"$serial"
started=$(date +%s)
vm_boot "$serial" "$limit" "" "file=$vm_dir/root.img,format=raw,if=virtio,snapshot=on" \
  "file=$disk,format=raw,if=virtio" 2>"$vm_dir/qemu.log" &
qemu=$!
# The job's output as it comes, once the guest is up.
until grep -aq 'ZP-GUEST: job started' "$serial"; do
  kill -0 $qemu 2>/dev/null || break
  if [ $(($(date +%s) - started)) -ge "$boot_limit" ]; then
    kill $qemu
    stage_fail boot "the emulated PC did not start the job within $boot_limit s; its serial log is $serial. A damaged image boots no more: delete $vm_dir and run ./run.sh test again to make it anew."
  fi
  sleep 1
done
booted=$(($(date +%s) - started))
tail -n +1 --pid=$qemu -f "$serial" | sed -u -n '/ZP-GUEST: job started/,$p' || true
status=0
wait $qemu || status=$?
took=$(($(date +%s) - started))
[ $status = 124 ] && stage_fail job "it ran out of its $limit s; the serial log is $serial."
grep -aq 'ZP-GUEST-DONE' "$serial" ||
  stage_fail boot "the emulated PC stopped (qemu status $status) before the job ended; see $serial and $vm_dir/qemu.log."

rm -rf "$out"
mkdir -p "$job/back"
debugfs -R "rdump /out $job/back" "$disk" >/dev/null 2>&1 && [ -d "$job/back/out" ] ||
  stage_fail results "debugfs could not read the results back from the job disk."
mkdir -p "$(dirname "$out")"
mv "$job/back/out" "$out"
cp "$serial" "$out/serial.log"
rc=$(grep -a 'ZP-GUEST-DONE' "$serial" | tail -n 1 | sed 's/.*rc=\([0-9]*\).*/\1/')
echo "emulated win32: boot $booted s, whole run $took s, the job's exit status ${rc:-unknown}"
exit "${rc:-3}"
