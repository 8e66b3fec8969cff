#!/usr/bin/env bash
# The sample host under Wine, as `./run.sh sample` and `./run.sh gallery`
# call it (inside a Wine display, WINEPREFIX set):
#
#   tools/sample-run.sh <build-dir> [--scripted | --interactive] [host options]
#   tools/sample-run.sh <build-dir> --pictures DIR [host options]
#
# With a display of your own (DISPLAY set, ZP_HEADLESS not 1) you click
# through the screens; otherwise, or with --scripted or any of the scripted
# user's choices, a scripted user answers them and takes a picture of each
# screen. --pictures DIR makes the whole gallery: three runs that between
# them show every screen, as PNG files in DIR.
set -euo pipefail

usage() {
  sed -n '2,12s/^# \{0,1\}//p' "$0"
  echo
  echo "Host options (zephronpro-sample.exe --help):"
}

[ $# -ge 1 ] || { echo "usage: tools/sample-run.sh <build-dir: build/win32 or build/win64> [options]" >&2; exit 2; }
build=$(cd "$1" && pwd)
shift
host="$build/bin/zephronpro-sample.exe"
if [ ! -f "$host" ] || [ ! -x "$build/wine-run" ]; then
  echo "sample-run: no sample host in $build (build that tree first: ./run.sh sample does)" >&2
  exit 2
fi

# A Windows path for a Unix one: the prefix maps drive Z: to /.
winpath() {
  local p
  p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  if [ "$(readlink "$build/wineprefix/dosdevices/z:" 2>/dev/null)" = / ]; then
    printf 'Z:%s' "$p" | tr / '\\'
  else
    "$build/wine-run" winepath.exe -w "$p" 2>/dev/null
  fi
}

mode=auto pictures="" args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --scripted) mode=scripted ;;
    --interactive) mode=interactive ;;
    --pictures)
      [ $# -ge 2 ] || { echo "sample-run: --pictures needs a folder" >&2; exit 2; }
      pictures=$2
      shift
      ;;
    --help | -h)
      usage
      exec "$build/wine-run" "$host" --help
      ;;
    --card | --clock | --clock-dialog | --confirm)
      [ "$mode" = auto ] && mode=scripted
      args+=("$1")
      [ $# -ge 2 ] && { args+=("$2"); shift; }
      ;;
    --poke)
      [ "$mode" = auto ] && mode=scripted
      args+=("$1")
      ;;
    *) args+=("$1") ;;
  esac
  shift
done

# xvfb-run's private server (which run.sh starts when there is no display)
# is no display a user can click on.
private_xvfb() {
  case "${XAUTHORITY:-}" in */xvfb-run.*/Xauthority) return 0 ;; esac
  return 1
}
if [ "$mode" = auto ]; then
  if [ -n "${DISPLAY:-}" ] && [ "${ZP_HEADLESS:-0}" != 1 ] && ! private_xvfb; then
    mode=interactive
  else
    mode=scripted
  fi
fi
if [ -n "$pictures" ] && [ "$mode" = interactive ]; then
  echo "sample-run: --pictures needs the scripted user; it does not go with --interactive" >&2
  exit 2
fi

if [ "$mode" = interactive ]; then
  echo "sample-run: interactive run on $DISPLAY: answer the screens yourself"
  exec "$build/wine-run" "$host" --interactive "${args[@]}"
fi

# BMP pictures of the host into PNG files next to them.
to_png() {
  local folder=$1 n=0 bmp
  if [ ! -x /usr/bin/convert ]; then
    echo "sample-run: no /usr/bin/convert (imagemagick): the pictures stay BMP files in $folder"
    return
  fi
  for bmp in "$folder"/[0-9][0-9]-*.bmp; do
    [ -e "$bmp" ] || continue
    # No time stamps in the files, so an unchanged screen gives the same file.
    /usr/bin/convert "$bmp" -strip -define png:exclude-chunks=date,time "${bmp%.bmp}.png"
    rm -f "$bmp"
    n=$((n + 1))
  done
  echo "sample-run: $n pictures of the screens in $folder"
}

status=0
if [ -z "$pictures" ]; then
  # One scripted run; its pictures and log go into the build tree.
  out="$build/sample-pictures"
  mkdir -p "$out"
  rm -f "$out"/[0-9][0-9]-*.bmp "$out"/[0-9][0-9]-*.png
  "$build/wine-run" "$host" --pictures "$(winpath "$out")" --log "$(winpath "$out/run.log")" "${args[@]}" ||
    status=$?
  to_png "$out"
  echo "sample-run: the log of the run is $out/run.log"
  exit $status
fi

# The gallery: three runs on a cards file of their own, which between them
# show every screen. The typical run comes last, so its pictures of the
# dialogs are the ones kept.
mkdir -p "$pictures"
pictures=$(cd "$pictures" && pwd)
rm -f "$pictures"/[0-9][0-9]-*.bmp "$pictures"/[0-9][0-9]-*.png
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cards=$(winpath "$work/cards.txt")
shots=$(winpath "$pictures")
runs=(
  "--cards 0 --scan box"   # the notice before scanning, scan_box's window, no cards found
  "--cards 1 --poke --reset"  # the status window's notice, one card, factory reset
  "--cards 2"              # the typical run
)
for i in "${!runs[@]}"; do
  read -r -a choices <<<"${runs[$i]}"
  extra=()
  [ "$i" -eq $((${#runs[@]} - 1)) ] && extra=("${args[@]}")
  echo "sample-run: zephronpro-sample ${runs[$i]} ${extra[*]}"
  "$build/wine-run" "$host" --cards-file "$cards" --pictures "$shots" --log "$(winpath "$work/run-$i.log")" \
    "${choices[@]}" "${extra[@]}" || { status=$?; echo "sample-run: that run failed (exit status $status)" >&2; }
done
to_png "$pictures"
exit $status
