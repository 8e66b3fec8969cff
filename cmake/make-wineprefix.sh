#!/bin/sh
# Makes the Wine prefix that a build tree's tests and sample host run in,
# once per tree: of the tree's architecture, no window manager waits, no
# crash dialog, no sound drivers. Every failure says what to do, in words.
# usage: make-wineprefix.sh <build-tree>
tree="$1"
. "$tree/wine-env.sh"
log="$tree/wineprefix.log"
fail() {
  echo "Wine prefix: $1" >&2
  [ -s "$log" ] && { echo "Wine prefix: Wine said (from $log):" >&2; tail -n 5 "$log" >&2; }
  exit 1
}

[ -x "$WINELOADER" ] ||
  fail "$WINELOADER is missing, so this $WINEARCH build cannot run its programs; run tools/install-deps.sh as root (or ./run.sh, which does)."
rm -rf "$WINEPREFIX"
: >"$log"
status=0
timeout 300 "$WINELOADER" wineboot -i >>"$log" 2>&1 || status=$?
if [ $status != 0 ]; then
  rm -rf "$WINEPREFIX"
  [ $status = 126 ] &&
    fail "$WINELOADER cannot start here (exit status 126: the kernel refuses it); this machine runs no $WINEARCH programs. ./run.sh runs this tree's tests in an emulated 32-bit PC instead; by hand, configure the tree with -DZP_WINE_PREFIX=OFF (tests built, run elsewhere) or -DZP_WINE=OFF."
  fail "wineboot could not make a $WINEARCH prefix at $WINEPREFIX (exit status $status). Make sure nothing else uses that folder, then build again; \"wineserver -k\" ends a Wine that hangs."
fi
reg() { timeout 120 "$WINELOADER" reg add "$@" /f >>"$log" 2>&1 || fail "could not write the setting $1 $3 into $WINEPREFIX; delete that folder and build again."; }
# Wine draws its own frames: without a window manager it would wait about
# two seconds for one whenever a window is hidden or closed.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
timeout 120 wineserver -w || fail "the wineserver of $WINEPREFIX did not stop; run \"WINEPREFIX=$WINEPREFIX wineserver -k\" and build again."
touch "$WINEPREFIX/.zp-ready"
