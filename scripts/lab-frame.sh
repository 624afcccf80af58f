# lab-frame.sh: what the lab-*.sh scripts share, sourced by each of them with
# their own arguments (WORKDIR PROGRAM [ARGS...]). The script defines
# undo_lab (what puts the private test network back) before sourcing, then
# changes the network, starts PROGRAM in the background as $child and calls
# wait_for_lab. On exit, however it comes, PROGRAM is stopped, undo_lab runs
# and WORKDIR/ended is written, which the test that started it waits for.
set -euo pipefail
# Started from a Wine program, the search path is Wine's.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

work=$1
shift
if [ "${PELLVANE_NETNS:-}" != "1" ]; then
  echo "$(basename "$0" .sh): only inside the private test network (scripts/netns-run.sh)" >&2
  touch "$work/ended"
  exit 2
fi

child=""
finish_lab() {
  if [ -n "$child" ]; then
    kill "$child" 2>/dev/null || true
    wait "$child" 2>/dev/null || true
  fi
  undo_lab
  touch "$work/ended"
}
trap finish_lab EXIT

# Until PROGRAM ends or WORKDIR/stop appears.
wait_for_lab() {
  while kill -0 "$child" 2>/dev/null && [ ! -e "$work/stop" ]; do sleep 0.05; done
}
