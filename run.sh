#!/usr/bin/env bash
# One entry for everything: installs what is missing, builds, then
#   ./run.sh sample [choices...]  the sample host: a whole run of the screens
#   ./run.sh test                 every test, native and under Wine
#   ./run.sh gallery              pictures of every screen into docs/gallery
#   ./run.sh bench                the formatter's benchmark, with its figures
# Trees in build/ (ZP_BUILD_DIR): native, win32 (the product), win64. Where this machine runs no
# 32-bit programs (or ZP_NO_WIN32=1), the same tests run, the win32 tree's Wine programs in an
# emulated PC. ZP_NO_VM=1 leaves that out of `test` (a quick loop), and says so as a skip.
set -euo pipefail
# Started in the background by a shell, we would ignore SIGINT, which no trap can undo: start again
# with it restored, so that kill -INT ends the run too.
[ -z "$(trap -p INT)" ] || exec env --default-signal=INT bash "$0" "$@"
here=$(cd "$(dirname "$0")" && pwd)
what=${1:-test} && shift $(($# > 0))
case $what in
  sample | test | gallery | bench) ;;
  *) echo "usage: $0 sample|test|gallery|bench [choices...]" >&2 && exit 2 ;;
esac
build=$(mkdir -p "${ZP_BUILD_DIR:-$here/build}" && cd "${ZP_BUILD_DIR:-$here/build}" && pwd)
trap 'exit 130' INT && trap 'exit 143' TERM  # also as the first process of a PID namespace

# One run at a time per build folder (only this shell holds the lock), in a PID namespace of its
# own: however this shell ends, even by kill -KILL, the kernel ends every process the run started
# (builds, Wine, Xvfb, qemu).
if [ "${ZP_RUN_INSIDE:-}" != "$build" ]; then
  exec 9>"$build/.run.lock"
  flock -n 9 || { echo "run.sh: another ./run.sh is using $build; wait for it to end," \
    "or give this one another folder with ZP_BUILD_DIR." >&2 && exit 1; }
  inside=(unshare --pid --kill-child --mount-proc)
  if ! "${inside[@]}" true 2>/dev/null; then
    echo "run.sh: no PID namespace here (${inside[*]} failed): the run ends its processes" \
      "by their group and Wine's by its prefixes, which a kill -KILL skips."
    inside=(setsid) && trap 'kill -- -$! 2>/dev/null || true
      for p in "$build"/*/wineprefix; do WINEPREFIX=$p wineserver -k 2>/dev/null || true; done' EXIT
  fi
  ZP_RUN_INSIDE=$build setpriv --pdeathsig KILL "${inside[@]}" bash "$0" "$what" "$@" 9>&- &
  wait $!
  exit
fi
results=$build/results && mkdir -p "$results"
die() {  # the closing line of `test` names it too
  echo "run.sh: $*" >&2 && echo "$*" >"$results/run.log" && echo 1 >"$results/run.status" && exit 1
}
if [ "$what" = test ]; then
  rm -rf "$results" && mkdir -p "$results"
  trap 'python3 "$here/tools/test-summary.py" "$build" || exit 1' EXIT
fi
"$here/tools/install-deps.sh" || die "installing the packages failed (see above);" \
  "run ./run.sh as root on Debian, or install them yourself."
# Whether this machine runs 32-bit Windows programs: whether its kernel starts 32-bit Wine (which
# `wine` prefers); some refuse every i386 program. ZP_NO_WIN32=1 says no anywhere.
if [ "${ZP_NO_WIN32:-0}" != 1 ] && said=$(timeout -k 5 60 wine --version 2>&1); then
  echo "Wine: this machine runs 32-bit Windows programs ($said)." && emulated=OFF
else
  echo "Wine: 64-bit Windows programs only (${said:-ZP_NO_WIN32=1}); the 32-bit DLL's Wine" \
    "programs run in an emulated PC instead." && emulated=ON
fi

build_tree() {  # tree target [cmake options...]; an empty target only configures the tree
  cmake -S "$here" -B "$build/$1" -DCMAKE_BUILD_TYPE=Release "${@:3}" >/dev/null &&
    { [ -z "$2" ] || cmake --build "$build/$1" -j2 --target "$2"; }
}
cross() { echo -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$1.cmake"; }
# The emulated PC (ten times slower) runs shorter abuse tests; the win64 ones are always short.
build_win32() { build_tree win32 "${1-all}" "$(cross i686)" -DZP_ABUSE_SHORT=$emulated; }
build_win64() { build_tree win64 "${1-all}" "$(cross x86_64)" -DZP_ABUSE_SHORT=ON; }
# A command under a tree's Wine; with the emulated PC it still runs here, and the tree's wine-run
# sends each Windows program there.
win32() {
  if [ $emulated = OFF ]; then "$here/tools/wine-session.sh" "$build/win32" "$@"
  else "$here/tools/emulated-pc.sh" "$build/emulated-pc" "$build/win32" "$here" "$build" -- "$@"; fi
}
win64() { "$here/tools/wine-session.sh" "$build/win64" "$@"; }
step() {  # name command...: a step of `test`, its output marked, and kept in results/name.log
  local name=$1 && shift && echo "=== $name: $*"
  { "$@" 2>&1 && echo 0 >"$results/$name.status" || echo $? >"$results/$name.status"; } |
    tee "$results/$name.log" | sed -u "s/^/[$name] /"
  return "$(cat "$results/$name.status")"
}
tests() {  # tree [runner...]: every test of the tree, each with a time limit
  rm -rf "$build/$1/gtest"
  step "$1" "${@:2}" ctest --test-dir "$build/$1" --timeout 900 --output-junit "$results/$1.xml"
}

case $what in
  test)
    # The tests press keys: never on a screen someone uses.
    export ZP_HEADLESS=1 CTEST_OUTPUT_ON_FAILURE=1 CTEST_PARALLEL_LEVEL=2
    # The product's tests, the longest stage, first: the tree's Wine (or the emulated PC) gets ready
    # while the tree builds, and the tests wait for the build's status, locked until it is written.
    # The rest, that build too, beside them, lower.
    built=$results/build-win32.status
    if [ $emulated = ON ] && [ "${ZP_NO_VM:-0}" = 1 ]; then
      echo "the win32 tree's tests: ZP_NO_VM=1 leaves the emulated PC out" >"$results/win32.skip"
    elif build_win32 "" &>/dev/null; then  # configured: its Wine needs the tree's settings
      exec 8>"$built" && flock 8
      gate='[ "$(cat "$0")" = 0 ] && exec "$@"; echo "no tests: the build failed"; exit 1'
      tests win32 win32 flock "$built" sh -c "$gate" "$built" 8>&- &
    fi
    renice -n $(($(nice) + 10)) -p $$ >/dev/null || true
    step build-win32 build_win32 || true
    exec 8>&-
    step build-native build_tree native all && native=1 || native=0
    step build-win64 build_win64 && tests win64 win64 || true
    [ $native = 0 ] || tests native || true
    wait
    ;;
  sample)
    [ $emulated = OFF ] && tree=win32 || tree=win64
    build_$tree zephronpro-sample || die "building $build/$tree failed (see above)."
    echo "sample host: $tree ($build/$tree/bin/zephronpro-sample.exe)"
    $tree "$here/tools/sample-run.sh" "$build/$tree" "$@"
    ;;
  gallery)
    build_win32 zephronpro-sample || die "building $build/win32 failed (see above)."
    ZP_HEADLESS=1 win32 "$here/tools/sample-run.sh" "$build/win32" \
      --pictures "$here/docs/gallery" "$@"
    ;;
  bench)
    build_tree native zp_text_bench || die "building $build/native failed (see above)."
    "$build/native/bench/zp_text_bench"
    ;;
esac
