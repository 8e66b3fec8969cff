#!/usr/bin/env bash
# One entry for everything: installs what is missing, builds, then
#   ./run.sh sample [choices...]  the sample host: a whole run of the screens
#   ./run.sh test                 every test, native and under Wine
#   ./run.sh gallery              pictures of every screen into docs/gallery
#   ./run.sh bench                the benchmarks, with their figures
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${ZP_BUILD_DIR:-$here/build}
what=${1:-test}
[ $# -gt 0 ] && shift

"$here/tools/install-deps.sh"

build_win32() {
  cmake -S "$here" -B "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/win32" -j2
}
build_native() {
  cmake -S "$here" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/native" -j2
}

# Runs a command under Wine's display: the user's when there is one, else a
# private Xvfb; one wineserver serves every program of the run.
with_wine_display() {
  export WINEPREFIX="$build/win32/wineprefix" WINEARCH=win32 WINEDEBUG=-all
  if [ -n "${DISPLAY:-}" ] && [ "${ZP_HEADLESS:-0}" != 1 ]; then
    "$@"
  else
    # Nobody sees a private Xvfb: programs that ask pick their scripted mode.
    ZP_HEADLESS=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$here/tools/with-wineserver.sh" "$@"
  fi
}

case "$what" in
  test)
    build_native
    build_win32
    log=$(mktemp)
    status=0
    ctest --test-dir "$build/native" --output-on-failure -j2 2>&1 | tee "$log" || status=1
    # Always on a screen of their own: the tests press keys, which go to
    # whatever window has the focus.
    ZP_HEADLESS=1 with_wine_display ctest --test-dir "$build/win32" --output-on-failure 2>&1 | tee -a "$log" || status=1
    # Both test trees in one closing line.
    passed=0 failed=0
    while read -r p f; do passed=$((passed + p)); failed=$((failed + f)); done < <(
      sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\? failed out of \([0-9]*\)$/\2 \1/p' "$log" |
        awk '{print $1 - $2, $2}')
    rm -f "$log"
    echo "all tests: ${passed} passed, ${failed} failed"
    exit $status
    ;;
  sample)
    build_win32
    with_wine_display "$here/tools/sample-run.sh" "$build/win32" "$@"
    ;;
  gallery)
    build_win32
    ZP_HEADLESS=1 with_wine_display "$here/tools/sample-run.sh" "$build/win32" --pictures "$here/docs/gallery" "$@"
    ;;
  bench)
    build_native
    build_win32
    "$build/native/bench/zp_text_bench"
    ;;
  *)
    echo "usage: ./run.sh sample|test|gallery|bench" >&2
    exit 2
    ;;
esac
