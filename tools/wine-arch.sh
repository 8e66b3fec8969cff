#!/bin/sh
# Finds out whether this machine runs 32-bit Windows programs under Wine,
# by running one: a tiny program of our own (tools/wine-probe.c), started
# the way a user starts a program (the `wine` command, which picks the
# loader), with a time limit. Says so in one line (a second one says what
# that leaves to the emulated 32-bit PC when the answer is no).
# Exit status 0: it does; 1: it does not; 2: the probe itself failed.
# usage: tools/wine-arch.sh <folder for the probe and its Wine prefix>
# ZP_NO_WIN32=1 makes the answer "no" on any machine, to try the
# 64-bit-only route where both work.
folder=${1:?usage: tools/wine-arch.sh <folder>}
here=$(cd "$(dirname "$0")" && pwd)
not_here="The 32-bit DLL runs in an emulated 32-bit PC instead (./run.sh test); the 64-bit build runs here."
if [ "${ZP_NO_WIN32:-0}" = 1 ]; then
  echo "Wine: 64-bit Windows programs only, as ZP_NO_WIN32=1 asks."
  echo "$not_here"
  exit 1
fi
mkdir -p "$folder"
probe=$folder/wine-probe.exe
if [ ! -f "$probe" ] || [ "$here/wine-probe.c" -nt "$probe" ]; then
  i686-w64-mingw32-gcc -Os -s -o "$probe" "$here/wine-probe.c" || {
    echo "Wine: cannot build the 32-bit probe (i686-w64-mingw32-gcc failed or is missing); run tools/install-deps.sh as root." >&2
    exit 2
  }
fi
# A prefix of the probe's own, kept: only the first run pays for making it.
said=$(WINEPREFIX=$folder/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  timeout -k 5 120 wine "$probe" </dev/null 2>&1)
status=$?
case "$said" in
  *"32-bit Windows program ran"*)
    [ $status = 0 ] && {
      echo "Wine: this machine runs 32-bit Windows programs."
      exit 0
    }
    ;;
esac
why=$(printf '%s\n' "$said" | grep -v '^$' | tail -n 1)
[ $status = 124 ] && why="no answer within 120 s"
echo "Wine: 64-bit Windows programs only: a 32-bit Windows program cannot run here (wine said: ${why:-nothing}, exit status $status)."
echo "$not_here"
exit 1
