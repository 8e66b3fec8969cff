#!/bin/sh
# Keeps one wineserver up for the whole command, so the programs it starts
# do not each wait for a new one. WINEPREFIX and WINELOADER come from the
# build tree's wine-env.sh. The first Wine program of a session starts
# Wine's own services (explorer, services, rpcss...), which inherit its
# output: a warm-up with no output to inherit keeps them from holding a
# caller's pipe open (ctest would wait on it until its timeout).
if ! wineserver -p </dev/null >/dev/null 2>&1; then
  echo "with-wineserver: Wine's server would not start for the prefix $WINEPREFIX; run \"WINEPREFIX=$WINEPREFIX wineserver -k\", or delete that folder and build again." >&2
  exit 1
fi
if ! timeout 120 "${WINELOADER:-wine}" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1; then
  echo "with-wineserver: Wine could not start a program in $WINEPREFIX (no display? a damaged prefix?); delete that folder and build again." >&2
  wineserver -k
  exit 1
fi
"$@"
status=$?
wineserver -k
exit $status
