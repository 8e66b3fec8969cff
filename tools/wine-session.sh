#!/bin/sh
# Runs a command under a build tree's Wine: in its prefix (made when missing),
# on a private Xvfb unless DISPLAY is set and ZP_HEADLESS is not 1, with one
# wineserver for all its programs. usage: wine-session.sh <tree> <command>...
tree=$1 && shift && . "$tree/wine-env.sh"
[ -f "$WINEPREFIX/.zp-ready" ] || sh "$(dirname "$0")/../cmake/make-wineprefix.sh" "$tree" || exit 1
if [ -z "${ZP_IN_XVFB:-}" ] && { [ -z "${DISPLAY:-}" ] || [ "${ZP_HEADLESS:-0}" = 1 ]; }; then
  hash xvfb-run Xvfb 2>/dev/null || { echo "wine-session: no display for Windows programs:" \
    "DISPLAY is not set and Xvfb is missing; tools/install-deps.sh installs xvfb." >&2 && exit 1; }
  # Nobody sees a private Xvfb: programs that ask pick their scripted mode.
  ZP_IN_XVFB=1 ZP_HEADLESS=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$tree" "$@"
fi
wineserver -p10 </dev/null >/dev/null 2>&1  # kept for 10 s after its last program
# Wine's own services start with the first program and inherit its output:
# a warm-up with none keeps them from holding a caller's pipe open.
timeout 120 "$WINELOADER" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || {
  echo "wine-session: Wine could not start a program in $WINEPREFIX (a damaged prefix?);" \
    "delete that folder and try again." >&2
  wineserver -k
  exit 1
}
"$@" && status=0 || status=$?
wineserver -k
exit $status
