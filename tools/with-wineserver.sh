#!/bin/sh
# Keeps one wineserver up for the whole command, so the programs it starts
# do not each wait for a new one.
wineserver -p
"$@"
status=$?
wineserver -k
exit $status
