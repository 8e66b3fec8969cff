#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, as root,
# and only what is missing: a second run installs nothing.
set -euo pipefail

packages=(
  cmake g++ make
  clang libclang-rt-14-dev            # the number formatter's fuzz target
  googletest libgtest-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686       # the 32-bit DLL, the product
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64   # the 64-bit DLL
  wine wine32:i386                    # 32-bit Wine, where the kernel runs 32-bit programs
  wine64                              # 64-bit Wine, on every machine
  lld llvm                            # MSVC-style import libraries, and a host linked with them
  libfmt-dev libdouble-conversion-dev # peers in the number formatter's benchmark
  xvfb xauth                          # a screen when there is none
  imagemagick                         # pictures of the screens
  qemu-system-x86 debootstrap cpio e2fsprogs xz-utils  # the emulated 32-bit PC, where 32-bit programs do not run
)

missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}; run this as root (or install them) first" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
