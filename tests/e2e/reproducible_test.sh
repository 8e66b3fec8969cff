#!/bin/sh
# One source, the same bytes: this tree's build against a new one of a copy of
# the source at another path, built in another folder at another time (only
# what is shipped: -DZP_WINE=OFF). The DLL, its symbols file, the sample host,
# both import libraries, then cpack's ZIPs, the symbols ZIP and SHA256SUMS of
# each must be byte for byte the same (cmp).
# usage: reproducible_test.sh <source> <build> <cmake> <cpack> <toolchain-file> <build-type>
set -eu
source=$1 build=$2 cmake=$3 cpack=$4 toolchain=$5 type=$6
work=$build/reproducible-test
fail() { echo "reproducible test: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/a-copy-of-the-source"
# The source without the build folders (this one may lie anywhere inside it).
tar -C "$source" --exclude-vcs --exclude=./build --exclude=./out --exclude="./${build#"$source"/}" -cf - . |
  tar -C "$work/a-copy-of-the-source" -xf -
second=$work/second-build
"$cmake" -S "$work/a-copy-of-the-source" -B "$second" -DCMAKE_BUILD_TYPE="$type" -DZP_WINE=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$work/a-copy-of-the-source/cmake/$(basename "$toolchain")" >"$work/build.txt" 2>&1 &&
  "$cmake" --build "$second" -j2 >>"$work/build.txt" 2>&1 || fail "the second build failed: $(tail -20 "$work/build.txt")"
for f in bin/zephronpro.dll bin/zephronpro.dll.debug bin/zephronpro-sample.exe libzephronpro.dll.a zephronpro.lib; do
  cmp "$build/$f" "$second/$f" || fail "$f differs (a time stamp, or a folder of the build in it?)"
done
"$cpack" --config "$build/CPackConfig.cmake" -G ZIP -B "$work/zips-first" >/dev/null
"$cpack" --config "$second/CPackConfig.cmake" -G ZIP -B "$work/zips-second" >/dev/null
made=$(cd "$work/zips-first" && ls -- *.zip SHA256SUMS | tr '\n' ' ')
[ "$(echo "$made" | wc -w)" = 3 ] || fail "cpack made $made, not a ZIP, its symbols ZIP and SHA256SUMS"
for f in $made; do
  cmp "$work/zips-first/$f" "$work/zips-second/$f" || fail "$f differs between two packings of the same files"
done
echo "the same bytes from $build and $second: the DLL, its symbols, the sample host, the import libraries, $made"
