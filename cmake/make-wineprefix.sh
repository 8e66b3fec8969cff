#!/bin/sh
# Makes the Wine prefix the tests and the sample host run in, once per build
# tree: 32-bit, no window manager waits, no crash dialog, no sound drivers.
set -e
prefix="$1"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv,wineoss.drv,winecoreaudio.drv=d"
rm -rf "$prefix"
wineboot -i >/dev/null 2>&1
# Wine draws its own frames: without a window manager it would wait about
# two seconds for one whenever a window is hidden or closed.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
touch "$prefix/.zp-ready"
