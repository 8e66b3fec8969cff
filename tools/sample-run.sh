#!/bin/sh
# Placeholder until the sample host lands: shows the scanning windows.
echo "sample host not built yet" >&2
exit 1
