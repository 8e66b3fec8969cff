#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, as root, and only what is
# missing: a second run installs nothing.
set -euo pipefail
packages=(
  cmake g++ make python3 googletest libgtest-dev
  clang libclang-rt-14-dev lld llvm    # the fuzz target; MSVC-style import libraries, linking
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth   # both Wines (32-bit where the kernel runs it), a screen
  imagemagick                          # pictures
  libfmt-dev libdouble-conversion-dev  # peers in the number formatter's benchmark
  qemu-system-x86 cpio e2fsprogs       # the emulated PC, where 32-bit programs do not run
)
missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] ||
    missing+=("$p")
done
[ ${#missing[@]} = 0 ] && exit 0
[ "$(id -u)" = 0 ] || { echo "install-deps: missing packages: ${missing[*]};" \
  "run this as root (or install them) first" >&2 && exit 1; }
echo "install-deps: installing ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
