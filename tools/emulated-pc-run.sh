#!/usr/bin/env bash
# Both ends of the emulated PC's spool, a folder that tools/emulated-pc.sh
# shares with it (ZP_EMULATED_PC names it here, /run/job there):
#   emulated-pc-run.sh run <spool> <command> [args...]
#     here: runs the command in the emulated PC, in this folder, with this
#     environment's ZP_ and GTEST_ variables. Its output comes when it ends,
#     and its exit status is this one's; 125 if the emulated PC stopped.
#   emulated-pc-run.sh serve <spool> <tree> <saved-prefix.tar>
#     there: runs every command sent, side by side, for ever, under the
#     tree's Wine (tools/wine-session.sh), with its prefix in memory.
# A command sent is a folder in the spool: `cmd` to run, then `out` and
# `status`. A `kill` there ends the command: a watcher leaves one when `run`
# itself is killed (as ctest's time limit kills it and its children).
set -u
mode=$1 spool=$2 && shift 2
case $mode in
  run)
    d=$(mktemp -d "$spool/XXXXXX") || exit 125
    for v in $(compgen -e | grep -E '^(ZP|GTEST)_' | grep -vx ZP_EMULATED_PC); do
      printf 'export %s=%q\n' "$v" "${!v}"
    done >"$d/new"
    printf 'cd %q 2>/dev/null || cd /\nexec' "$PWD" >>"$d/new" && printf ' %q' "$@" >>"$d/new"
    mv "$d/new" "$d/cmd"
    ( (tail --pid=$$ -f /dev/null; [ -e "$d/status" ] || : >"$d/kill") </dev/null &>/dev/null & )
    until [ -e "$d/status" ]; do
      kill -0 "$(cat "$spool/pid")" 2>/dev/null || {
        echo "emulated PC: it stopped; its console log is $(dirname "$spool")/console.log" >&2
        exit 125
      }
      sleep 0.2
    done
    cat "$d/out" && status=$(cat "$d/status") && rm -rf "$d" && exit "$status"
    ;;
  serve)  # the prefix unpacked, or made and saved
    tree=$1 saved=$2 prefix=$1/wineprefix && SECONDS=0
    mkdir -p "$prefix" && mount -t tmpfs -o size=3g prefix "$prefix" || exit 1
    if tar -xf "$saved" -C "$prefix" 2>/dev/null; then
      echo "emulated PC: Wine prefix unpacked in $SECONDS s"
    else
      sh "$(dirname "$0")/../cmake/make-wineprefix.sh" "$tree" || exit 1
      tar -cf "$saved.part" -C "$prefix" . && sync && mv "$saved.part" "$saved" || exit 1
      echo "emulated PC: Wine prefix made in $SECONDS s, and saved"
    fi
    exec "$(dirname "$0")/wine-session.sh" "$tree" "$0" loop "$spool"
    ;;
esac
declare -A started=()  # loop: a session of its own for each command, which a kill ends whole
while sleep 0.2; do
  for cmd in "$spool"/*/cmd; do
    [ -e "$cmd" ] || continue
    d=${cmd%/cmd} && mv "$cmd" "$d/run"
    setsid bash -c 'bash "$0/run" &>"$0/out" </dev/null; echo $? >"$0/ran"; sync; mv "$0/ran" "$0/status"' \
      "$d" &
    started[$d]=$!
  done
  for kill in "$spool"/*/kill; do
    [ -e "$kill" ] || continue
    d=${kill%/kill}
    [ -z "${started[$d]:-}" ] || kill -KILL -- -"${started[$d]}" 2>/dev/null
    rm -rf "$d" && unset "started[$d]"
  done
done
