#!/usr/bin/env bash
# The emulated 32-bit PC's half of ./run.sh, run inside it by run-job.sh:
# makes the win32 tree's Wine prefix, then
#   test     runs the tree's Wine tests (all but those labelled no_wine,
#            which ran on the build machine), junit into $ZP_VM_OUT/junit.xml
#   gallery  makes the pictures of every screen into $ZP_VM_OUT/gallery
# usage: win32-stage.sh test|gallery <source-tree> <win32-build-tree>
set -uo pipefail
what=$1 source=$2 tree=$3
. "$tree/wine-env.sh"
started=$(date +%s)
sh "$source/cmake/make-wineprefix.sh" "$tree" || exit 1
echo "emulated win32: Wine prefix made in $(($(date +%s) - started)) s"
export ZP_HEADLESS=1
screen() { xvfb-run -a -s "-screen 0 1280x1024x24" "$source/tools/with-wineserver.sh" "$@"; }
case "$what" in
  test)
    screen ctest --test-dir "$tree" --output-on-failure -LE no_wine --output-junit "$ZP_VM_OUT/junit.xml" \
      --test-output-size-passed 1000000 --test-output-size-failed 1000000
    ;;
  gallery) screen "$source/tools/sample-run.sh" "$tree" --pictures "$ZP_VM_OUT/gallery" ;;
esac
