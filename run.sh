#!/usr/bin/env bash
# One entry for everything: installs what is missing, builds, then
#   ./run.sh sample [choices...]  the sample host: a whole run of the screens
#   ./run.sh test                 every test, native and under Wine
#   ./run.sh gallery              pictures of every screen into docs/gallery
#   ./run.sh bench                the benchmarks, with their figures
# It builds three trees in build/: native (the portable parts), win32 (the
# product) and win64. Whether the win32 programs run under Wine depends on
# the machine; the first line after the installation says which it is.
# ZP_NO_WIN32=1 takes the 64-bit-only route on any machine.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${ZP_BUILD_DIR:-$here/build}
what=${1:-test}
[ $# -gt 0 ] && shift

die() {
  echo "run.sh: $*" >&2
  exit 1
}

case "$what" in
  sample | test | gallery | bench) ;;
  *)
    echo "usage: ./run.sh sample|test|gallery|bench" >&2
    exit 2
    ;;
esac

"$here/tools/install-deps.sh" || die "installing the packages failed (see above); run ./run.sh as root on Debian, or install them yourself."

# Answered once per run, in one line (two when it is "no").
if "$here/tools/wine-arch.sh"; then win32_runs=1; else win32_runs=0; fi
[ $win32_runs = 1 ] && wine_tree=win32 || wine_tree=win64

build_tree() {  # tree [cmake options...]
  local tree=$1
  shift
  cmake -S "$here" -B "$build/$tree" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null ||
    die "configuring $build/$tree failed (see above)."
  cmake --build "$build/$tree" -j2 ||
    die "building $build/$tree failed (see the messages above); a Wine prefix that failed says why above it."
}
build_native() { build_tree native; }
build_win32() {
  local wine=OFF
  [ $win32_runs = 1 ] && wine=ON
  build_tree win32 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DZP_WINE=$wine
}
build_win64() { build_tree win64 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake"; }

# Runs a command under the Wine of a build tree, on the user's display when
# there is one, else on a private Xvfb; one wineserver serves every program.
with_wine_display() {  # tree command...
  local tree=$build/$1
  shift
  . "$tree/wine-env.sh"
  if [ -n "${DISPLAY:-}" ] && [ "${ZP_HEADLESS:-0}" != 1 ]; then
    "$@"
  else
    command -v xvfb-run >/dev/null && command -v Xvfb >/dev/null ||
      die "no display to run Windows programs on: DISPLAY is not set and Xvfb is missing; install xvfb and xauth (tools/install-deps.sh does)."
    # Nobody sees a private Xvfb: programs that ask pick their scripted mode.
    local status=0
    ZP_HEADLESS=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$here/tools/with-wineserver.sh" "$@" || status=$?
    # A failure may be the screen's, not the programs': tell which.
    if [ $status != 0 ] && ! xvfb-run -a -s "-screen 0 1280x1024x24" true >/dev/null 2>&1; then
      die "Xvfb could not start a screen (xvfb-run says why above); check that xvfb and xauth are installed, or set DISPLAY to a screen of yours."
    fi
    return $status
  fi
}

# --- test: a log per tree, then one closing line -----------------------------
logs=()
run_ctest() {  # name command...
  local log=$build/ctest-$1.log
  logs+=("$log")
  "${@:2}" 2>&1 | tee "$log" || true
}
# The 64-bit-only route as a machine without 32-bit programs takes it: its
# message, a whole scripted run of the 64-bit sample host, and the static
# check of the 32-bit DLL file.
route_check() {
  local log=$build/route-64bit-only.log
  logs+=("$log")
  if ZP_NO_WIN32=1 "$here/run.sh" sample >"$log" 2>&1 &&
    grep -q '^Wine: 64-bit Windows programs only' "$log" && grep -q 'sample host: win64' "$log" &&
    "$build/native/tests/native/dll_file_tests" --gtest_filter='*/win32' >>"$log" 2>&1; then
    echo "route 64-bit only: passed (./run.sh sample with ZP_NO_WIN32=1, log $log)"
    echo "100% tests passed, 0 tests failed out of 1" >>"$log"
  else
    echo "route 64-bit only: FAILED; its output:"
    cat "$log"
    echo "0% tests passed, 1 tests failed out of 1" >>"$log"
  fi
}
summary() {
  local passed=0 failed=0 skipped=0 total f s log
  for log in "${logs[@]}"; do
    while read -r total f; do
      s=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$log" || true)
      passed=$((passed + total - f - s)) failed=$((failed + f)) skipped=$((skipped + s))
    done < <(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\? failed out of \([0-9]*\)$/\2 \1/p' "$log")
  done
  # Every skip with its reason, from the tests' own words.
  for tree in native win32 win64; do
    local last=$build/$tree/Testing/Temporary/LastTest.log
    [ -f "$last" ] && awk -v tree="$tree" '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
      /: Skipped$/ { getline reason; print "skipped (" tree "): " name ": " reason }' "$last"
  done
  echo "all tests: ${passed} passed, ${failed} failed, ${skipped} skipped"
  [ "$failed" = 0 ]
}

case "$what" in
  test)
    build_native
    build_win32
    build_win64
    rm -f "$build"/*/Testing/Temporary/LastTest.log
    run_ctest native ctest --test-dir "$build/native" --output-on-failure -j2
    # Always on a screen of their own: the tests press keys, which go to
    # whatever window has the focus.
    if [ $win32_runs = 1 ]; then
      ZP_HEADLESS=1 run_ctest win32 with_wine_display win32 ctest --test-dir "$build/win32" --output-on-failure
      # The long abuse runs once, on the product; every other test on both.
      echo "win64: every Wine test but the abuse tests (abuse_*), which ran on win32"
      ZP_HEADLESS=1 run_ctest win64 with_wine_display win64 ctest --test-dir "$build/win64" --output-on-failure -E '^abuse_'
    else
      ZP_HEADLESS=1 run_ctest win64 with_wine_display win64 ctest --test-dir "$build/win64" --output-on-failure
    fi
    route_check
    summary
    ;;
  sample)
    build_$wine_tree
    echo "sample host: $wine_tree ($build/$wine_tree/bin/zephronpro-sample.exe)"
    with_wine_display $wine_tree "$here/tools/sample-run.sh" "$build/$wine_tree" "$@"
    ;;
  gallery)
    build_$wine_tree
    ZP_HEADLESS=1 with_wine_display $wine_tree "$here/tools/sample-run.sh" "$build/$wine_tree" --pictures "$here/docs/gallery" "$@"
    ;;
  bench)
    build_native
    "$build/native/bench/zp_text_bench"
    ;;
esac
