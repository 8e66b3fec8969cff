#!/usr/bin/env bash
# One entry for everything: installs what is missing, builds, then
#   ./run.sh sample [choices...]  the sample host: a whole run of the screens
#   ./run.sh test                 every test, native and under Wine
#   ./run.sh gallery              pictures of every screen into docs/gallery
#   ./run.sh bench                the formatter's benchmark, with its figures
# Trees in build/ (ZP_BUILD_DIR): native, win32 (the product), win64. Where
# this machine runs no 32-bit programs, the win32 tree's Wine programs run in
# an emulated PC over this machine's own installation (tools/emulated-pc.sh).
# ZP_NO_WIN32=1 takes that route on any machine; ZP_NO_VM=1 leaves the
# emulated PC out of `test` (a quick loop), and says so as a skip.
set -euo pipefail
# Started in the background by a shell, we would ignore SIGINT, which no trap
# can undo: start again with it restored, so that kill -INT ends the run too.
[ -z "$(trap -p INT)" ] || exec env --default-signal=INT "$0" "$@"
here=$(cd "$(dirname "$0")" && pwd)
build=${ZP_BUILD_DIR:-$here/build}
what=${1:-test} && shift $(($# > 0))
die() { echo "run.sh: $*" >&2; exit 1; }
case $what in sample | test | gallery | bench) ;; *) echo "usage: ./run.sh sample|test|gallery|bench [choices...]" >&2; exit 2 ;; esac

mkdir -p "$build"
exec 9>"$build/.run.lock"
flock -n 9 || die "another ./run.sh is using $build; wait for it to end, or give this one another folder with ZP_BUILD_DIR."
# Whatever this run started ends with it: on success, failure, Ctrl-C or kill.
# Long stages run as background jobs that the shell waits for, so a signal is
# handled at once; the daemons (Wine's servers) are ended by their prefix.
descendants() {
  ps -e -o pid=,ppid= | awk -v top=$$ '{ up[$1] = $2 } END {
    for (p in up) { q = p; while (q in up && q != top) q = up[q]; if (q == top && p != top) print p } }'
}
cleanup() {
  trap - EXIT INT TERM
  kill $(descendants) 2>/dev/null || true
  for prefix in "$build"/*/wineprefix "$build"/wine-probe/prefix; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix timeout 10 wineserver -k 2>/dev/null || true
  done
}
trap cleanup EXIT && trap 'exit 130' INT && trap 'exit 143' TERM
job() { "$@" & wait $!; }

job "$here/tools/install-deps.sh" || die "installing the packages failed (see above); run ./run.sh as root on Debian, or install them yourself."
job "$here/tools/wine-arch.sh" "$build/wine-probe" && probe=0 || probe=$?
[ $probe -le 1 ] || die "could not find out whether 32-bit Windows programs run here (see above)."
[ $probe = 0 ] && native32=ON short=OFF || native32=OFF short=ON

build_tree() {  # tree target [cmake options...]
  job cmake -S "$here" -B "$build/$1" -DCMAKE_BUILD_TYPE=Release "${@:3}" >/dev/null || die "configuring $build/$1 failed (see above)."
  job cmake --build "$build/$1" -j2 --target "$2" || die "building $build/$1 failed (see above; a Wine prefix that failed says why)."
}
cross() { echo -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$1.cmake"; }
# Where 32-bit programs do not run here, the win32 tree's prefix is made in
# the emulated PC (~10 times slower), and both trees' abuse tests are short.
build_win32() { build_tree win32 "${1:-all}" "$(cross i686)" -DZP_WINE_PREFIX=$native32 -DZP_ABUSE_SHORT=$short; }
build_win64() { build_tree win64 "${1:-all}" "$(cross x86_64)" -DZP_ABUSE_SHORT=$short; }
# Under a tree's Wine (tools/wine-session.sh); win32 in the emulated PC where it must, its prefix in memory (9p: 35 s a start).
win32() {
  if [ $native32 = ON ]; then "$here/tools/wine-session.sh" "$build/win32" "$@"
  else "$here/tools/emulated-pc.sh" "$build/emulated-pc" 2400 "$here" "$build" -- sh -c 'mkdir -p "$0/wineprefix" &&
    mount -t tmpfs -o size=3g prefix "$0/wineprefix" && exec "$@"' "$build/win32" "$here/tools/wine-session.sh" "$build/win32" "$@"; fi
}
win64() { "$here/tools/wine-session.sh" "$build/win64" "$@"; }

results=$build/results
tests() {  # run-name command... : one ctest run, its JUnit file, log and exit status in $results
  local name=$1 && shift && echo "=== $name: $*"
  { "$@" --timeout 900 --output-junit "$results/$name.xml" --test-output-size-passed 1000000 \
      --test-output-size-failed 1000000 --output-on-failure && echo 0 >"$results/$name.status" || echo $? >"$results/$name.status"; } 2>&1 |
    tee "$results/$name.log" | sed -u "s/^/[$name] /"
}

case $what in
  test)
    rm -rf "$results" && mkdir -p "$results"
    export ZP_HEADLESS=1  # the tests press keys: never on a screen someone uses
    # The product first: its Wine tests run (in the emulated PC, where they
    # must) while the other trees build and test, each on its own screen.
    build_win32
    if [ $native32 = ON ] || [ "${ZP_NO_VM:-0}" != 1 ]; then
      tests win32 win32 ctest --test-dir "$build/win32" -LE no_wine &
      win32_tests=$! && renice -n 10 $$ >/dev/null  # the rest yields to that, the longest stage
    else
      echo "every Wine test of the 32-bit DLL: ZP_NO_VM=1 leaves the emulated PC out" >"$results/win32.skip"
    fi
    [ $native32 = ON ] || job tests win32-link ctest --test-dir "$build/win32" -L no_wine
    build_tree native all
    build_win64
    job tests native ctest --test-dir "$build/native" -j2
    # The abuse tests run in full on the product, where it runs here.
    job tests win64 win64 ctest --test-dir "$build/win64" $([ $native32 = ON ] && echo "-E ^abuse_")
    [ -z "${win32_tests:-}" ] || wait $win32_tests
    python3 "$here/tools/test-summary.py" "$results"
    ;;
  sample)
    [ $native32 = ON ] && tree=win32 || tree=win64
    build_$tree zephronpro-sample
    echo "sample host: $tree ($build/$tree/bin/zephronpro-sample.exe)"
    job $tree "$here/tools/sample-run.sh" "$build/$tree" "$@"
    ;;
  gallery)
    build_win32 zephronpro-sample
    ZP_HEADLESS=1 job win32 "$here/tools/sample-run.sh" "$build/win32" --pictures "$here/docs/gallery" "$@"
    ;;
  bench)
    build_tree native zp_text_bench
    job "$build/native/bench/zp_text_bench"
    ;;
esac
