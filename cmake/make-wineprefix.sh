#!/bin/sh
# Makes a build tree's Wine prefix, once: its architecture, no waits for a
# window manager, no crash dialog. usage: make-wineprefix.sh <build-tree>
. "$1/wine-env.sh"
log=$1/wineprefix.log
fail() {
  echo "Wine prefix: $1" >&2
  [ -s "$log" ] && echo "Wine prefix: the end of $log:" >&2 && tail -n 5 "$log" >&2
  [ ! -d "$WINEPREFIX" ] || find "$WINEPREFIX" -mindepth 1 -delete
  exit 1
}
# Emptied, not removed: it may be a mount point (the emulated PC keeps it in memory).
[ ! -d "$WINEPREFIX" ] || find "$WINEPREFIX" -mindepth 1 -delete
timeout 600 "$WINELOADER" wineboot -i >"$log" 2>&1 || case $? in
  126) fail "$WINELOADER cannot start here (the kernel refuses it): this machine runs no $WINEARCH programs; ./run.sh runs them in an emulated PC." ;;
  *) fail "wineboot could not make a $WINEARCH prefix at $WINEPREFIX; make sure nothing else uses it (\"wineserver -k\" ends a Wine that hangs) and try again." ;;
esac
# Wine draws its own frames: without a window manager it would wait about
# two seconds for one whenever a window is hidden or closed.
reg() { timeout 120 "$WINELOADER" reg add "HKCU\\Software\\Wine\\$1" /v "$2" /t "$3" /d "$4" /f >>"$log" 2>&1 || fail "could not write the setting $2 into $WINEPREFIX."; }
reg 'X11 Driver' Managed REG_SZ N
reg 'X11 Driver' Decorated REG_SZ N
reg WineDbg ShowCrashDialog REG_DWORD 0
timeout 120 wineserver -w || fail "the wineserver of $WINEPREFIX did not stop; run \"WINEPREFIX=$WINEPREFIX wineserver -k\"."
touch "$WINEPREFIX/.zp-ready"
