#!/bin/sh
# Makes a build tree's Wine prefix, once: its architecture, no waits for a window manager, no crash
# dialog. With <saved.tar> (the emulated PC's), it is unpacked from that file, or made and then
# saved into it. usage: make-wineprefix.sh <build-tree> [<saved.tar>]
. "$1/wine-env.sh"
log=$1/wineprefix.log saved=${2:-}
fail() {
  echo "Wine prefix: $*" >&2
  [ -s "$log" ] && echo "Wine prefix: the end of $log:" >&2 && tail -n 5 "$log" >&2
  [ ! -d "$WINEPREFIX" ] || find "$WINEPREFIX" -mindepth 1 -delete
  exit 1
}
[ -n "$saved" ] && tar -xf "$saved" -C "$WINEPREFIX" 2>/dev/null && exit 0
# Emptied, not removed: it may be a mount point (the emulated PC keeps it in memory).
[ ! -d "$WINEPREFIX" ] || find "$WINEPREFIX" -mindepth 1 -delete
timeout 600 "$WINELOADER" wineboot -i >"$log" 2>&1 ||
  fail "wineboot could not make a $WINEARCH prefix at $WINEPREFIX (exit status $?; 126: this" \
    "machine runs no $WINEARCH programs); \"wineserver -k\" ends a Wine that hangs."
# Wine draws its own frames, or waits 2 s for a window manager whenever a window hides or closes.
printf '%s\n' REGEDIT4 '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' \
  '"Decorated"="N"' '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:0' \
  >"$WINEPREFIX/zp-settings.reg"
timeout 120 "$WINELOADER" reg import "Z:$WINEPREFIX/zp-settings.reg" >>"$log" 2>&1 ||
  fail "could not write Wine's settings into $WINEPREFIX."
timeout 120 wineserver -w ||
  fail "the wineserver of $WINEPREFIX did not stop; run \"WINEPREFIX=$WINEPREFIX wineserver -k\"."
touch "$WINEPREFIX/.zp-ready"
[ -z "$saved" ] || { tar -cf "$saved.part" -C "$WINEPREFIX" . && mv "$saved.part" "$saved"; } ||
  echo "Wine prefix: could not save it into $saved; the next start makes it again." >&2
