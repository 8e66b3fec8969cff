#!/bin/sh
# Makes a build tree's Wine prefix, once: its architecture, no waits for a
# window manager, no crash dialog. usage: make-wineprefix.sh <build-tree>
. "$1/wine-env.sh"
log=$1/wineprefix.log
fail() {
  echo "Wine prefix: $*" >&2
  [ -s "$log" ] && echo "Wine prefix: the end of $log:" >&2 && tail -n 5 "$log" >&2
  [ ! -d "$WINEPREFIX" ] || find "$WINEPREFIX" -mindepth 1 -delete
  exit 1
}
# Emptied, not removed: it may be a mount point (the emulated PC keeps it in memory).
[ ! -d "$WINEPREFIX" ] || find "$WINEPREFIX" -mindepth 1 -delete
timeout 600 "$WINELOADER" wineboot -i >"$log" 2>&1 || case $? in
  126) fail "$WINELOADER cannot start here (the kernel refuses it): this machine runs no" \
    "$WINEARCH programs; ./run.sh runs them in an emulated PC." ;;
  *) fail "wineboot could not make a $WINEARCH prefix at $WINEPREFIX; make sure nothing else" \
    "uses it (\"wineserver -k\" ends a Wine that hangs) and try again." ;;
esac
# Wine draws its own frames: without a window manager it would wait about
# two seconds for one whenever a window is hidden or closed.
cat >"$WINEPREFIX/zp-settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
timeout 120 "$WINELOADER" reg import "Z:$WINEPREFIX/zp-settings.reg" >>"$log" 2>&1 ||
  fail "could not write Wine's settings into $WINEPREFIX."
timeout 120 wineserver -w ||
  fail "the wineserver of $WINEPREFIX did not stop; run \"WINEPREFIX=$WINEPREFIX wineserver -k\"."
touch "$WINEPREFIX/.zp-ready"
