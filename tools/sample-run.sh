#!/usr/bin/env bash
# The sample host, inside tools/wine-session.sh or emulated-pc.sh (./run.sh sample, gallery):
#   tools/sample-run.sh <build-tree> [--scripted | --interactive] [host options]
#   tools/sample-run.sh <build-tree> --pictures DIR [host options]
# On a display someone sees (ZP_HEADLESS not 1) and with no choice of the scripted user, you click
# through the screens. Otherwise a scripted user answers them; the pictures of the screens and the
# log of the run go into <build-tree>/sample-pictures. --pictures DIR makes the gallery instead:
# three runs that between them show every screen, as PNG files in DIR.
set -euo pipefail
tree=$(cd "${1:?usage: tools/sample-run.sh <build-tree> [options]}" && pwd) && shift
host=$tree/bin/zephronpro-sample.exe
[ -f "$host" ] || { echo "sample-run: build $tree first (./run.sh sample does)" >&2; exit 2; }
wine() { "$tree/wine-run" "$@"; }  # there, or in the emulated PC
winpath() { printf 'Z:%s' "$(realpath -m "$1")" | tr / '\\'; }  # the prefix's Z: is /

gallery="" interactive=0 args=()
[ -n "${DISPLAY:-}" ] && [ "${ZP_HEADLESS:-0}" != 1 ] && interactive=1
while [ $# -gt 0 ]; do
  case $1 in
    --pictures) gallery=${2:?--pictures needs a folder} && shift ;;
    --help | -h) sed -n '2,9s/^# \{0,1\}//p' "$0" && exec "$tree/wine-run" "$host" --help ;;
    --interactive) interactive=2 ;;
    --scripted) interactive=0 ;;
    --card | --clock | --clock-dialog | --confirm | --poke)
      [ $interactive = 2 ] || interactive=0 && args+=("$1") ;;
    *) args+=("$1") ;;
  esac
  shift
done
if [ $interactive != 0 ] && [ -z "$gallery" ]; then
  echo "sample-run: interactive run on $DISPLAY: answer the screens yourself"
  exec "$tree/wine-run" "$host" --interactive "${args[@]}"
fi

to_png() {  # folder: the host's BMP pictures as PNG, without time stamps (same screen, same file)
  for bmp in "$1"/[0-9][0-9]-*.bmp; do
    [ ! -e "$bmp" ] || /usr/bin/convert "$bmp" -strip -define png:exclude-chunks=date,time \
      "${bmp%.bmp}.png" && rm -f "$bmp"
  done
  echo "sample-run: $(find "$1" -name '[0-9][0-9]-*.png' | wc -l) pictures of the screens in $1"
}
status=0
if [ -z "$gallery" ]; then
  out=$tree/sample-pictures
  mkdir -p "$out" && rm -f "$out"/[0-9][0-9]-*.*
  wine "$host" --pictures "$(winpath "$out")" --log "$(winpath "$out/run.log")" "${args[@]}" ||
    status=$?
  to_png "$out"
  echo "sample-run: the log of the run is $out/run.log"
  exit $status
fi
# On a cards file of their own (in the tree, which the emulated PC sees); the typical run last,
# with the choices given, so that its pictures of the dialogs are the ones kept.
mkdir -p "$gallery" && rm -f "$gallery"/[0-9][0-9]-*.* && work=$(mktemp -d "$tree/gallery.XXXXXX")
trap 'rm -rf "$work"' EXIT
runs=("--cards 0 --scan box" "--cards 1 --poke --reset" "--cards 2")
for i in 0 1 2; do
  read -r -a choices <<<"${runs[$i]}"
  [ $i != 2 ] || choices+=("${args[@]}")
  echo "sample-run: zephronpro-sample ${choices[*]}"
  wine "$host" --cards-file "$(winpath "$work/cards.txt")" --pictures "$(winpath "$gallery")" \
    "${choices[@]}" || { status=$? && echo "sample-run: that run failed (status $status)" >&2; }
done
to_png "$gallery"
exit $status
