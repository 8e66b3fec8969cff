#!/bin/sh
# The package as a user gets it: `cmake --install` into a temporary prefix,
# then every way in, each against that prefix alone and run under Wine next
# to the installed DLL:
#   1. CMake: a consumer project with find_package (and the other
#      architecture's toolchain must be told plainly that it does not fit);
#   2. MSVC: a host linked by lld-link against zephronpro.lib;
#   3. LoadLibrary and GetProcAddress: the installed sample host.
# Then `cpack -G ZIP` and a look inside the archive.
# usage: package_test.sh <build> <this-folder> <cmake> <cpack> <objdump> <toolchain-file>
#          <other-toolchain-file> <clang> <lld-link> <llvm-dlltool> <win32|win64>
set -eu
build=$1 here=$2 cmake=$3 cpack=$4 objdump=$5 toolchain=$6 other_toolchain=$7 clang=$8 lld_link=$9
llvm_dlltool=${10} arch=${11}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test ($arch): $*" >&2; exit 1; }
prefix=$work/prefix
files="bin/zephronpro.dll bin/zephronpro-sample.exe include/zephronpro.h lib/libzephronpro.dll.a lib/zephronpro.lib
       lib/zephronpro.def lib/cmake/zephronpro/zephronproConfig.cmake lib/cmake/zephronpro/zephronproConfigVersion.cmake
       USAGE.txt"

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for f in $files; do
  [ -f "$prefix/$f" ] || fail "cmake --install put no $f in the prefix"
done
echo "installed: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"
grep -l -e "$build" -e "$(cd "$here/../.." && pwd)" "$prefix"/lib/cmake/zephronpro/* &&
  fail "the CMake package names a folder of the build machine; it must find everything from its own place"

# A host built inside the build tree links the tree's own import library:
# it must be the one the consumers below link.
cmp -s "$build/libzephronpro.dll.a" "$prefix/lib/libzephronpro.dll.a" ||
  fail "the build tree's libzephronpro.dll.a is not the installed one"

# What a program imports from zephronpro.dll, by name, sorted.
imports_of() {
  "$objdump" -p "$1" | awk '/DLL Name:/ { dll = tolower($3) }
    dll == "zephronpro.dll" && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }' | sort | tr '\n' ' '
}
# Runs an installed program; output into a file, not a pipe: Wine services
# that a program starts may inherit its output and hold a pipe open.
run() {
  "$build/wine-run" "$@" </dev/null >"$work/out.txt" 2>&1
}

# 1. find_package, with nothing but the prefix to go on.
consumer=$work/consumer
"$cmake" -S "$here/consumer" -B "$consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" \
  >"$work/configure.txt" 2>&1 || fail "find_package failed: $(cat "$work/configure.txt")"
"$cmake" --build "$consumer" >"$work/build.txt" 2>&1 || fail "the consumer did not build: $(cat "$work/build.txt")"
[ "$(imports_of "$consumer/tiny_host.exe")" = "display_num_cards first_window " ] ||
  fail "tiny_host.exe imports from zephronpro.dll: $(imports_of "$consumer/tiny_host.exe")(wanted the plain names)"
for d in $("$objdump" -p "$consumer/tiny_host.exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u); do
  case "$d" in
    kernel32.dll | user32.dll | msvcrt.dll | zephronpro.dll) ;;
    *) fail "tiny_host.exe needs $d, which the package does not carry" ;;
  esac
done
run "$consumer/tiny_host.exe" || fail "tiny_host.exe failed: $(cat "$work/out.txt")"
case "$(cat "$work/out.txt")" in
  *"first_window() = 0, display_num_cards(2) = 0, window: Detected  2 ZEPHRON Pro I/O Cards in this computer"*)
    echo "find_package: tiny_host.exe built and ran" ;;
  *) fail "tiny_host.exe printed: $(cat "$work/out.txt")" ;;
esac
# The other architecture finds the package and is told why it does not fit.
if "$cmake" -S "$here/consumer" -B "$work/other" -DCMAKE_TOOLCHAIN_FILE="$other_toolchain" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/other.txt" 2>&1; then
  fail "a project of the other architecture accepted the $arch package"
fi
grep -q "found, but for the other architecture" "$work/other.txt" ||
  fail "a project of the other architecture was not told why: $(cat "$work/other.txt")"
echo "find_package: the other architecture is told the package is for $arch"

# 2. MSVC's way: zephronpro.lib and lld-link, no C runtime.
if [ "$arch" = win32 ]; then
  target=i686-pc-windows-msvc machine=i386 exit_process=ExitProcess@4 kill_at=-k
else
  target=x86_64-pc-windows-msvc machine=i386:x86-64 exit_process=ExitProcess kill_at=
fi
msvc=$work/msvc
mkdir -p "$msvc"
printf 'LIBRARY kernel32.dll\nEXPORTS\n    %s\n' "$exit_process" >"$msvc/kernel32.def"
"$llvm_dlltool" -m "$machine" -d "$msvc/kernel32.def" -l "$msvc/kernel32.lib" $kill_at
"$clang" --target="$target" -ffreestanding -O1 -Wall -Werror -I "$prefix/include" -c "$here/msvc_host.c" \
  -o "$msvc/msvc_host.obj"
"$lld_link" /nologo /entry:host_main /subsystem:console /nodefaultlib /out:"$prefix/bin/msvc_host.exe" \
  "$msvc/msvc_host.obj" "$prefix/lib/zephronpro.lib" "$msvc/kernel32.lib" >"$msvc/link.txt" 2>&1 ||
  fail "lld-link could not link against zephronpro.lib: $(cat "$msvc/link.txt")"
[ "$(imports_of "$prefix/bin/msvc_host.exe")" = "display_num_cards first_window " ] ||
  fail "msvc_host.exe imports from zephronpro.dll: $(imports_of "$prefix/bin/msvc_host.exe")(wanted the plain names)"
run "$prefix/bin/msvc_host.exe" || fail "msvc_host.exe failed (exit status $?): $(cat "$work/out.txt")"
echo "zephronpro.lib: msvc_host.exe linked by lld-link and ran"

# 3. LoadLibrary and GetProcAddress: the installed sample host, a declined run.
run "$prefix/bin/zephronpro-sample.exe" --cards-file "Z:$work/cards.txt" --confirm cancel ||
  fail "the installed sample host failed: $(cat "$work/out.txt")"
case "$(cat "$work/out.txt")" in
  *"ok_to_save(1009, 1006, 1, 2) = 2"*) echo "LoadLibrary: the installed sample host made a declined run" ;;
  *) fail "the installed sample host printed: $(cat "$work/out.txt")" ;;
esac

# The ZIP package holds the same files.
"$cpack" --config "$build/CPackConfig.cmake" -G ZIP -B "$work/zip" >/dev/null
set -- "$work"/zip/*-"$arch".zip
[ -f "$1" ] || fail "cpack made no zephronpro-…-$arch.zip"
"$cmake" -E tar tf "$1" >"$work/listing.txt"
for f in $files; do
  grep -q "/$f\$" "$work/listing.txt" || fail "$(basename "$1") has no $f"
done
echo "package $(basename "$1"): $(wc -l <"$work/listing.txt") entries"
