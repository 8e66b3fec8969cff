#!/bin/sh
# Says in one line whether this machine runs 32-bit Windows programs, by
# starting one of our own the way a user would, with `wine`,
# in a prefix of its own under <folder>. ZP_NO_WIN32=1 answers no anywhere.
# Exit status 0: it does; 1: it does not; 2: the probe itself failed.
# usage: tools/wine-arch.sh <folder>
folder=${1:?usage: tools/wine-arch.sh <folder>}
not_here="Wine: 64-bit Windows programs only"
then_what="the 32-bit DLL's Wine programs run in an emulated PC instead; the 64-bit ones run here."
[ "${ZP_NO_WIN32:-0}" = 1 ] && echo "$not_here, as ZP_NO_WIN32=1 asks: $then_what" && exit 1
probe=$folder/wine-probe.exe
mkdir -p "$folder"
[ -f "$probe" ] || echo '#include <stdio.h>
int main(void) { puts("32-bit Windows program ran"); return sizeof(void*) != 4; }' |
  i686-w64-mingw32-gcc -Os -s -x c -o "$probe" - || {
  echo "Wine: cannot build the 32-bit probe (i686-w64-mingw32-gcc failed or is missing);" \
    "run tools/install-deps.sh as root." >&2
  exit 2
}
said=$(WINEPREFIX=$folder/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  timeout -k 5 120 wine "$probe" </dev/null 2>&1)
status=$?
case $status:$said in
  0:*"32-bit Windows program ran"*) echo "Wine: this machine runs 32-bit Windows programs." && exit 0 ;;
esac
[ $status = 124 ] && why="no answer within 120 s" || why=$(printf '%s\n' "$said" | grep -v '^$' | tail -n 1)
echo "$not_here: a 32-bit Windows program cannot run here (wine said: ${why:-nothing}," \
  "exit status $status); $then_what"
exit 1
