#!/bin/sh
# The package as a user gets it, in two halves that share the folder
# <build>/package-test:
#   link  `cmake --install` into a prefix there, then build every way in
#         against that prefix alone: a CMake project with find_package (and
#         version ranges; the other architecture's toolchain must be told
#         plainly that it does not fit), a MinGW host against
#         libzephronpro.dll.a, an MSVC-style host linked by lld-link against
#         zephronpro.lib; each must import the ten plain names from
#         zephronpro.dll. Then `cpack -G ZIP` and a look inside, at the symbols
#         ZIP beside it and at SHA256SUMS (`sha256sum -c`). Needs no Wine.
#   run   runs those hosts and the installed sample host (LoadLibrary) under
#         Wine, next to the installed DLL.
# usage: package_test.sh link <build> <this-folder> <cmake> <cpack> <objdump> <c-compiler> <toolchain-file>
#          <other-toolchain-file> <clang> <lld-link> <llvm-dlltool> <win32|win64>
#        package_test.sh run <build> <win32|win64>
set -eu
half=$1 build=$2
work=$build/package-test
prefix=$work/prefix
fail() { echo "package test ($half): $*" >&2; exit 1; }

if [ "$half" = run ]; then
  arch=$3
  for f in consumer/tiny_host.exe prefix/bin/mingw_host.exe prefix/bin/msvc_host.exe; do
    [ -f "$work/$f" ] || fail "no $work/$f: the package test's link half must pass first (ctest -R '^package')"
  done
  # Output into a file, not a pipe: Wine services that a program starts
  # may inherit its output and hold a pipe open.
  run() {
    "$build/wine-run" "$@" </dev/null >"$work/out.txt" 2>&1
  }
  for host in consumer/tiny_host.exe prefix/bin/mingw_host.exe; do
    run "$work/$host" || fail "$host failed (exit status $?): $(cat "$work/out.txt")"
    case "$(cat "$work/out.txt")" in
      *"first_window() = 0, display_num_cards(2) = 0, window: Detected  2 ZEPHRON Pro I/O Cards in this computer"*)
        echo "$host ran" ;;
      *) fail "$host printed: $(cat "$work/out.txt")" ;;
    esac
  done
  run "$prefix/bin/msvc_host.exe" || fail "msvc_host.exe failed (exit status $?): $(cat "$work/out.txt")"
  echo "msvc_host.exe ran"
  run "$prefix/bin/zephronpro-sample.exe" --cards-file "Z:$work/cards.txt" --confirm cancel ||
    fail "the installed sample host failed: $(cat "$work/out.txt")"
  case "$(cat "$work/out.txt")" in
    *"ok_to_save(1009, 1006, 1, 2) = 2"*) echo "LoadLibrary: the installed sample host made a declined run" ;;
    *) fail "the installed sample host printed: $(cat "$work/out.txt")" ;;
  esac
  exit 0
fi

here=$3 cmake=$4 cpack=$5 objdump=$6 cc=$7 toolchain=$8 other_toolchain=$9
shift 9
clang=$1 lld_link=$2 llvm_dlltool=$3 arch=$4
files="bin/zephronpro.dll bin/zephronpro-sample.exe include/zephronpro.h lib/libzephronpro.dll.a lib/zephronpro.lib
       lib/zephronpro.def lib/cmake/zephronpro/zephronproConfig.cmake lib/cmake/zephronpro/zephronproConfigVersion.cmake
       USAGE.txt"
rm -rf "$work"
mkdir -p "$work"

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

# A host must import all ten entry points from zephronpro.dll by their
# plain names, and nothing but system DLLs besides.
ten_names="Main_Menu ask_which_card display_donesaving display_num_cards display_reset_eeprom display_saving first_window no_cards_found ok_to_save scan_box "
check_imports() {  # program
  names=$("$objdump" -p "$1" | awk '/DLL Name:/ { dll = tolower($3) }
    dll == "zephronpro.dll" && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }' | LC_ALL=C sort | tr '\n' ' ')
  [ "$names" = "$ten_names" ] ||
    fail "$(basename "$1") imports from zephronpro.dll: ${names:-nothing} (wanted the ten plain names)"
  for d in $("$objdump" -p "$1" | awk '/DLL Name:/ { print tolower($3) }' | sort -u); do
    case "$d" in
      kernel32.dll | user32.dll | msvcrt.dll | zephronpro.dll) ;;
      *) fail "$(basename "$1") needs $d, which the package does not carry" ;;
    esac
  done
}

# 1. find_package, with nothing but the prefix to go on.
configure() {  # folder toolchain [options...]
  folder=$1 chosen=$2
  shift 2
  "$cmake" -S "$here/consumer" -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$chosen" -DCMAKE_PREFIX_PATH="$prefix" "$@" \
    >"$folder.txt" 2>&1
}
configure "$work/consumer" "$toolchain" || fail "find_package failed: $(cat "$work/consumer.txt")"
"$cmake" --build "$work/consumer" >"$work/build.txt" 2>&1 || fail "the consumer did not build: $(cat "$work/build.txt")"
check_imports "$work/consumer/tiny_host.exe"
echo "find_package: tiny_host.exe built"
# Ranges, in the same folder: only find_package runs again.
configure "$work/consumer" "$toolchain" "-DZP_WANTED=0.9...<2" ||
  fail "find_package(zephronpro 0.9...<2) did not take this 1.x package: $(cat "$work/consumer.txt")"
configure "$work/consumer" "$toolchain" "-DZP_WANTED=1.0...1.0.5" &&
  fail "find_package(zephronpro 1.0...1.0.5) took a package beyond the range"
echo "find_package: version ranges are taken at their word"
# The other architecture finds the package and is told why it does not fit.
configure "$work/other" "$other_toolchain" && fail "a project of the other architecture accepted the $arch package"
grep -q "found, but for the other architecture" "$work/other.txt" ||
  fail "a project of the other architecture was not told why: $(cat "$work/other.txt")"
echo "find_package: the other architecture is told the package is for $arch"

# 2. MinGW's way: -lzephronpro finds libzephronpro.dll.a.
"$cc" -Wall -Werror -I "$prefix/include" "$here/consumer/tiny_host.c" -L "$prefix/lib" -lzephronpro \
  -o "$prefix/bin/mingw_host.exe" >"$work/mingw.txt" 2>&1 ||
  fail "a MinGW host did not link against libzephronpro.dll.a: $(cat "$work/mingw.txt")"
check_imports "$prefix/bin/mingw_host.exe"
echo "libzephronpro.dll.a: mingw_host.exe linked"

# 3. MSVC's way: zephronpro.lib and lld-link, no C runtime.
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
check_imports "$prefix/bin/msvc_host.exe"
echo "zephronpro.lib: msvc_host.exe linked by lld-link"

# The ZIP package holds the same files.
"$cpack" --config "$build/CPackConfig.cmake" -G ZIP -B "$work/zip" >/dev/null
set -- "$work"/zip/*-"$arch".zip
[ -f "$1" ] || fail "cpack made no zephronpro-…-$arch.zip"
"$cmake" -E tar tf "$1" >"$work/listing.txt"
for f in $files; do
  grep -q "/$f\$" "$work/listing.txt" || fail "$(basename "$1") has no $f"
done
echo "package $(basename "$1"): $(wc -l <"$work/listing.txt") entries"
# The same step writes its symbols ZIP (the debug file at the DLL's place) and SHA256SUMS of both.
top=$(basename "$1" .zip)
"$cmake" -E tar tf "$work/zip/$top-symbols.zip" >"$work/symbols.txt" 2>&1 || fail "no $top-symbols.zip beside $top.zip"
[ "$(cat "$work/symbols.txt")" = "$top/bin/zephronpro.dll.debug" ] ||
  fail "$top-symbols.zip holds $(cat "$work/symbols.txt"), not $top/bin/zephronpro.dll.debug"
(cd "$work/zip" && sha256sum -c SHA256SUMS) >"$work/sums.txt" 2>&1 || fail "sha256sum -c SHA256SUMS: $(cat "$work/sums.txt")"
[ "$(cat "$work/sums.txt")" = "$(printf '%s: OK\n%s: OK' "$top.zip" "$top-symbols.zip")" ] ||
  fail "SHA256SUMS does not list both ZIPs: $(cat "$work/sums.txt")"
echo "sha256sum -c SHA256SUMS: $(tr '\n' ' ' <"$work/sums.txt")"
