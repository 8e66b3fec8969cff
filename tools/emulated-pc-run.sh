#!/usr/bin/env bash
# Both ends of the spool that tools/emulated-pc.sh shares with the emulated PC. `run <spool>
# <command>...`, here, runs the command there, in this folder, with this environment's ZP_ and
# GTEST_ variables; prints its output when it ends and exits with its status (125: the emulated PC
# stopped). `serve <spool> <tree>`, there, runs every command sent, side by side, under the tree's
# Wine. A command is a folder in the spool: `cmd`, then `out` and `status`; a `kill` there ends it,
# which a watcher leaves if `run` is killed (as ctest's time limit kills it).
set -u
mode=$1 spool=$2 && shift 2
case $mode in
  run)
    d=$(mktemp -d "$spool/XXXXXX") || exit 125
    export -p | grep -E '^declare -x (ZP|GTEST)_' | grep -v '^declare -x ZP_EMULATED_PC=' >"$d/new"
    printf 'cd %q 2>/dev/null || cd /\nexec' "$PWD" >>"$d/new" && printf ' %q' "$@" >>"$d/new"
    mv "$d/new" "$d/cmd"
    ( (tail --pid=$$ -f /dev/null; [ -e "$d/status" ] || : >"$d/kill") </dev/null &>/dev/null & )
    until [ -e "$d/status" ]; do
      kill -0 "$(cat "$spool/pid")" 2>/dev/null ||
        { echo "emulated PC: it stopped; see $(dirname "$spool")/console.log" >&2 && exit 125; }
      sleep 0.2
    done
    cat "$d/out" && status=$(cat "$d/status") && rm -rf "$d" && exit "$status"
    ;;
  serve)  # <tree>: its Wine prefix in memory, from (or else into) the spool's prefix.tar, then loop
    mkdir -p "$1/wineprefix" && mount -t tmpfs -o size=3g prefix "$1/wineprefix" &&
      sh "$(dirname "$0")/../cmake/make-wineprefix.sh" "$1" "$spool/prefix.tar" && sync || exit 1
    echo "emulated PC: Wine prefix ready in $SECONDS s"
    exec "$(dirname "$0")/wine-session.sh" "$1" "$0" loop "$spool"
    ;;
esac
shopt -s nullglob  # loop: each command in a session of its own, which a kill ends whole
: >"$spool/ready"
# Waits on a pipe that nobody writes: no new process at every look, which would cost the emulated
# PC a twentieth of a CPU.
mkfifo /run/serve-wait && exec 7<>/run/serve-wait
while read -r -t 0.2 -u 7 || [ $? -gt 128 ]; do
  for cmd in "$spool"/*/cmd; do
    d=${cmd%/cmd} && mv "$cmd" "$d/run"
    setsid bash -c 'bash "$0/run" &>"$0/out" </dev/null; echo $? >"$0/ran"
      sync && mv "$0/ran" "$0/status"' "$d" &
    echo $! >"$d/session"
  done
  for kill in "$spool"/*/kill; do
    kill -KILL -- -"$(cat "${kill%/kill}/session")" 2>/dev/null; rm -rf "${kill%/kill}"
  done
done
