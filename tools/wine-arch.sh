#!/bin/sh
# Finds out, quickly, whether this machine runs 32-bit Windows programs
# under Wine, and says so in one line (a second one says what that leaves
# unchecked when it does not). Exit status 0: it does; 1: it does not.
# ZP_NO_WIN32=1 makes the answer "no" on any machine, to try the 64-bit-only
# route where both work.
loader=/usr/lib/wine/wine
not_checked="Not checked here: running the 32-bit DLL (its file is still checked: PE32 header, exports and ordinals, imports, stack discipline); every Wine test and the sample host run on the 64-bit build."
if [ "${ZP_NO_WIN32:-0}" = 1 ]; then
  echo "Wine: 64-bit Windows programs only, as ZP_NO_WIN32=1 asks."
  echo "$not_checked"
  exit 1
fi
if [ ! -x "$loader" ]; then
  echo "Wine: 64-bit Windows programs only: 32-bit Wine ($loader, package wine32:i386) is not installed."
  echo "$not_checked"
  exit 1
fi
# The kernel refuses an i386 program outright where its 32-bit emulation is
# off ("Exec format error"); the time limit covers a loader that hangs.
version=$(timeout 10 "$loader" --version 2>&1)
case "$version" in
  wine-*)
    echo "Wine: this machine runs 32-bit and 64-bit Windows programs ($version)."
    exit 0
    ;;
esac
echo "Wine: 64-bit Windows programs only: this machine's kernel runs no 32-bit programs (\"$loader --version\" failed)."
echo "$not_checked"
exit 1
