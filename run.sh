#!/usr/bin/env bash
# One entry for everything: installs what is missing, builds, then
#   ./run.sh sample [choices...]  the sample host: a whole run of the screens
#   ./run.sh test                 every test, native and under Wine
#   ./run.sh gallery              pictures of every screen into docs/gallery
#   ./run.sh bench                the benchmarks, with their figures
# It builds three trees in build/: native (the portable parts), win32 (the
# product) and win64. The first line after the installation says whether
# this machine runs 32-bit Windows programs; where it does not, the win32
# tree's Wine tests and the gallery run in an emulated 32-bit PC
# (tools/vm/, kept in build/vm). ZP_NO_WIN32=1 takes that route on any
# machine; ZP_NO_VM=1 leaves the emulated PC out of `test` (a quick loop).
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
mkdir -p "$build"

# Answered once per run, in one line (two when it is "no").
probe=0
"$here/tools/wine-arch.sh" "$build/wine-probe" || probe=$?
case $probe in
  0) win32_runs=1 ;;
  1) win32_runs=0 ;;
  *) die "could not find out whether 32-bit Windows programs run here (see above)." ;;
esac
[ $win32_runs = 1 ] && wine_tree=win32 || wine_tree=win64
use_vm=0
if [ $win32_runs = 0 ]; then
  case "$what" in
    gallery) use_vm=1 ;;
    test) [ "${ZP_NO_VM:-0}" = 1 ] || use_vm=1 ;;
  esac
fi

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
  # Where 32-bit programs do not run here, the tests are built all the same
  # and run in the emulated PC, which makes the prefix itself.
  local here_too=ON
  [ $win32_runs = 1 ] || here_too=OFF
  build_tree win32 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DZP_WINE=ON \
    -DZP_WINE_PREFIX=$here_too -DZP_ABUSE_SHORT=$([ $here_too = ON ] && echo OFF || echo ON)
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
    ZP_HEADLESS=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$here/tools/with-wineserver.sh" "$@"
  fi
}

# The emulated 32-bit PC: made once (in the background while the trees
# build), then a job in it per run.
vm_image_log=$build/vm-image.log
start_vm_image() {
  "$here/tools/vm/image.sh" >"$vm_image_log" 2>&1 &
  vm_image=$!
}
wait_vm_image() {
  local started=$SECONDS
  echo "emulated win32: waiting for the image (log $vm_image_log)"
  wait $vm_image || return 1
  tail -n 1 "$vm_image_log"
  echo "emulated win32: image ready after a wait of $((SECONDS - started)) s"
}
run_in_vm() {  # limit out-folder win32-stage.sh arguments...
  local limit=$1 out=$2
  shift 2
  "$here/tools/vm/run-job.sh" "$limit" "$out" "$here" "$build/win32" -- \
    bash "$here/tools/vm/win32-stage.sh" "$@" "$here" "$build/win32"
}

# --- test: every ctest run leaves its JUnit file, its log and its status;
# the closing line counts from those, never from ctest's words alone.
results=$build/results
runs=()
run_tests() {  # name command... (ctest last, so that --output-junit goes to it)
  local name=$1 status=0
  shift
  echo "=== $name"
  "$@" --output-junit "$results/$name.xml" --test-output-size-passed 1000000 --test-output-size-failed 1000000 2>&1 |
    tee "$results/$name.log" || status=$?
  runs+=("$name"$'\t'"$status"$'\t'"$results/$name.xml"$'\t'"$results/$name.log")
}
vm_tests() {
  local status=0 out=$results/win32-emulated
  echo "=== win32-emulated (the 32-bit DLL in the emulated 32-bit PC)"
  if wait_vm_image; then
    run_in_vm 3000 "$out" test 2>&1 | tee "$results/win32-emulated.log" || status=$?
  else
    { echo "emulated win32: the image could not be made; the end of $vm_image_log:"; tail -n 5 "$vm_image_log"; } |
      tee "$results/win32-emulated.log"
    status=3
  fi
  runs+=("win32-emulated"$'\t'"$status"$'\t'"$out/junit.xml"$'\t'"$results/win32-emulated.log")
}
# One line per test case of a JUnit file: its state (passed, failed or
# skipped: ctest marks a test it could not start "notrun" too, which is a
# failure), its name and why (for a skip, the line after the test's own
# "Skipped", else ctest's message). A Wine test program is one ctest test
# of many GoogleTest cases: a case it skipped is listed as a skip of its own.
junit_cases() {  # file
  awk 'function attribute(name) {
      if (!match($0, name "=\"[^\"]*\"")) return ""
      return substr($0, RSTART + length(name) + 2, RLENGTH - length(name) - 3)
    }
    /<testcase / { name = attribute("name"); status = attribute("status"); message = ""; reason = ""; want = 0; inner = "" }
    /<skipped / || /<failure / { message = attribute("message") }
    want && reason == "" && NF { reason = $0 }
    /Skipped$/ { want = 1; reason = "" }
    /^\[  SKIPPED \] [^ ]+ \([0-9]+ ms\)$/ { inner = inner "skipped\t" name ": " $4 "\t" reason "\n"; want = 0 }
    /<\/testcase>/ {
      if (status == "run") state = "passed"
      else if (status == "notrun" && message ~ /^SKIP_/ || status == "disabled") state = "skipped"
      else state = "failed"
      if (reason == "" || state == "failed") reason = message
      print state "\t" name "\t" reason
      if (state == "passed") printf "%s", inner
    }' "$1" |
    sed 's/&quot;/"/g; s/&apos;/'"'"'/g; s/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g'
}
summary() {
  local passed=0 failed=0 skipped=0 run name status junit log cases n_failed state test reason
  local listing=()
  for run in "${runs[@]}"; do
    IFS=$'\t' read -r name status junit log <<<"$run"
    cases=$([ -s "$junit" ] && junit_cases "$junit" || true)
    if [ -z "$cases" ]; then
      failed=$((failed + 1))
      listing+=("failed ($name): no test ran (ctest status $status); the end of $log:")
      listing+=("$(tail -n 5 "$log" 2>/dev/null | sed 's/^/    /')")
      continue
    fi
    n_failed=0
    while IFS=$'\t' read -r state test reason; do
      case "$state" in
        passed) passed=$((passed + 1)) ;;
        skipped)
          skipped=$((skipped + 1))
          listing+=("skipped ($name): $test: ${reason:-no reason given}")
          ;;
        *)
          failed=$((failed + 1)) n_failed=$((n_failed + 1))
          listing+=("failed ($name): $test${reason:+ ($reason)}; its output is in $log")
          ;;
      esac
    done <<<"$cases"
    if [ "$status" != 0 ] && [ $n_failed = 0 ]; then
      failed=$((failed + 1))
      listing+=("failed ($name): ctest ended with status $status though no test failed; see $log")
    fi
  done
  if [ $win32_runs = 0 ] && [ $use_vm = 0 ]; then
    skipped=$((skipped + 1))
    listing+=("skipped (win32-emulated): every Wine test of the 32-bit DLL: ZP_NO_VM=1 leaves the emulated 32-bit PC out")
  fi
  echo
  [ ${#listing[@]} = 0 ] || printf '%s\n' "${listing[@]}"
  echo "all tests: ${passed} passed, ${failed} failed, ${skipped} skipped"
  [ $failed = 0 ]
}

case "$what" in
  test)
    [ $use_vm = 1 ] && start_vm_image
    build_native
    build_win32
    build_win64
    rm -rf "$results"
    mkdir -p "$results"
    run_tests native ctest --test-dir "$build/native" --output-on-failure -j2
    # Always on a screen of their own: the tests press keys, which go to
    # whatever window has the focus. Each Wine stage runs alone: the robot
    # waits a few seconds per window, which a busy machine can exceed.
    if [ $win32_runs = 1 ]; then
      ZP_HEADLESS=1 run_tests win32 with_wine_display win32 ctest --test-dir "$build/win32" --output-on-failure
      # The long abuse tests once, on the product; every other test on both.
      echo "win64: every Wine test but the abuse tests (abuse_*), which ran on win32"
      ZP_HEADLESS=1 run_tests win64 with_wine_display win64 ctest --test-dir "$build/win64" --output-on-failure -E '^abuse_'
    else
      # What the win32 tree checks without running anything: the package's
      # every way in, linked.
      run_tests win32-link ctest --test-dir "$build/win32" --output-on-failure -L no_wine
      [ $use_vm = 1 ] && vm_tests
      ZP_HEADLESS=1 run_tests win64 with_wine_display win64 ctest --test-dir "$build/win64" --output-on-failure
    fi
    summary
    ;;
  sample)
    build_$wine_tree
    echo "sample host: $wine_tree ($build/$wine_tree/bin/zephronpro-sample.exe)"
    with_wine_display $wine_tree "$here/tools/sample-run.sh" "$build/$wine_tree" "$@"
    ;;
  gallery)
    [ $use_vm = 1 ] && start_vm_image
    build_win32
    if [ $use_vm = 1 ]; then
      [ $# = 0 ] || die "options for the gallery's third run need 32-bit programs here; the emulated PC takes none."
      wait_vm_image || die "the emulated 32-bit PC could not be made: $(tail -n 3 "$vm_image_log")"
      run_in_vm 1800 "$build/gallery" gallery || die "the gallery run in the emulated 32-bit PC failed (see above)."
      rm -f "$here"/docs/gallery/[0-9][0-9]-*.png
      cp "$build"/gallery/gallery/*.png "$here/docs/gallery/"
      echo "gallery: $(ls "$build"/gallery/gallery/*.png | wc -l) pictures of the 32-bit DLL into docs/gallery"
    else
      ZP_HEADLESS=1 with_wine_display win32 "$here/tools/sample-run.sh" "$build/win32" --pictures "$here/docs/gallery" "$@"
    fi
    ;;
  bench)
    build_native
    "$build/native/bench/zp_text_bench"
    ;;
esac
