#!/bin/sh
# The package as a user gets it: `cmake --install` into a temporary prefix,
# a tiny C host compiled and linked against that prefix alone, run under
# Wine next to the installed DLL; the installed sample host run there too;
# then `cpack -G ZIP` and a look inside the archive.
# usage: package_test.sh <win32-build> <this-folder> <cmake> <cpack> <cc> <objdump>
set -eu
build=$1 here=$2 cmake=$3 cpack=$4 cc=$5 objdump=$6

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }
prefix=$work/prefix

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for f in bin/zephronpro.dll bin/zephronpro-sample.exe include/zephronpro.h lib/libzephronpro.dll.a \
         lib/zephronpro.def USAGE.txt; do
  [ -f "$prefix/$f" ] || fail "cmake --install put no $f in the prefix"
done
echo "installed: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"

# Against the prefix only: its header and its import library.
"$cc" -std=c99 -Wall -Wextra -Werror -I "$prefix/include" "$here/tiny_host.c" "$prefix/lib/libzephronpro.dll.a" \
  -o "$prefix/bin/tiny_host.exe"

# The import library must name the DLL's exports as the DLL spells them
# (plain names, no @N), or the loader would refuse the program.
"$objdump" -p "$prefix/bin/tiny_host.exe" >"$work/imports.txt"
awk '/DLL Name:/ { dll = tolower($3) } dll == "zephronpro.dll" && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }' \
  "$work/imports.txt" | sort >"$work/names.txt"
printf 'display_num_cards\nfirst_window\n' >"$work/wanted.txt"
cmp -s "$work/names.txt" "$work/wanted.txt" ||
  fail "tiny_host.exe imports from zephronpro.dll: $(tr '\n' ' ' <"$work/names.txt") (wanted first_window, display_num_cards)"
for exe in tiny_host.exe zephronpro-sample.exe zephronpro.dll; do
  for d in $("$objdump" -p "$prefix/bin/$exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u); do
    case "$d" in
      kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll | zephronpro.dll) ;;
      *) fail "$exe needs $d, which the package does not carry" ;;
    esac
  done
done

# Output into files, not pipes: Wine services that a program starts may
# inherit its output and hold a pipe open long after it ended.
"$build/wine-run" "$prefix/bin/tiny_host.exe" </dev/null >"$work/tiny.txt" 2>&1 ||
  fail "tiny_host.exe failed: $(cat "$work/tiny.txt")"
out=$(cat "$work/tiny.txt")
echo "$out"
case "$out" in
  *"first_window() = 0, display_num_cards(2) = 0, window: Detected  2 ZEPHRON Pro I/O Cards in this computer"*) ;;
  *) fail "tiny_host.exe printed: $out" ;;
esac

# The installed sample host on its own: a run that declines the save.
"$build/wine-run" "$prefix/bin/zephronpro-sample.exe" --cards-file "Z:$work/cards.txt" --confirm cancel \
  </dev/null >"$work/sample.txt" 2>&1 || fail "the installed sample host failed: $(cat "$work/sample.txt")"
out=$(cat "$work/sample.txt")
case "$out" in
  *"ok_to_save(1009, 1006, 1, 2) = 2"*) echo "installed sample host: declined run as expected" ;;
  *) fail "the installed sample host printed: $out" ;;
esac

# The ZIP package holds the same files.
"$cpack" --config "$build/CPackConfig.cmake" -G ZIP -B "$work/zip" >/dev/null
set -- "$work"/zip/*.zip
[ -f "$1" ] || fail "cpack made no ZIP file"
"$cmake" -E tar tf "$1" >"$work/listing.txt"
for f in bin/zephronpro.dll bin/zephronpro-sample.exe include/zephronpro.h lib/libzephronpro.dll.a \
         lib/zephronpro.def USAGE.txt; do
  grep -q "/$f\$" "$work/listing.txt" || fail "$(basename "$1") has no $f"
done
echo "package $(basename "$1"): $(wc -l <"$work/listing.txt") entries"
