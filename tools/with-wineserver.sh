#!/bin/sh
# Keeps one wineserver up for the whole command, so the programs it starts
# do not each wait for a new one. The first Wine program of a session starts
# Wine's own services (explorer, services, rpcss...), which inherit its
# output: a warm-up with no output to inherit keeps them from holding a
# caller's pipe open (ctest would wait on it until its timeout).
wineserver -p </dev/null >/dev/null 2>&1
wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1
"$@"
status=$?
wineserver -k
exit $status
