#!/usr/bin/env bash
# lab-second-address.sh WORKDIR PROGRAM [ARGS...]
#
# A second address of the workstation on its one segment, in the private test
# network (run it inside scripts/netns-run.sh): pv1, the lab end of the
# workstation's link, gets 10.231.0.2/24, so the workstation has two addresses
# in one subnet, as a laptop with its wired and its wireless card on one lab
# network. PROGRAM (a native adapter simulator) runs beside them and hears
# whatever is sent from either. Runs until PROGRAM ends or WORKDIR/stop
# appears; then the address is removed and WORKDIR/ended written. Test
# programs start it (tests/support/sim_process), also from under Wine.
set -euo pipefail
# Started from a Wine program, the search path is Wine's.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

address=10.231.0.2/24
work=$1
shift
if [ "${PELLVANE_NETNS:-}" != "1" ]; then
  echo "lab-second-address: only inside the private test network (scripts/netns-run.sh)" >&2
  touch "$work/ended"
  exit 2
fi

child=""
finish() {
  if [ -n "$child" ]; then
    kill "$child" 2>/dev/null || true
    wait "$child" 2>/dev/null || true
  fi
  ip addr del "$address" dev pv1 2>/dev/null || true
  touch "$work/ended"
}
trap finish EXIT

ip addr del "$address" dev pv1 2>/dev/null || true  # left over by a run that was killed
ip addr add "$address" dev pv1

"$@" &
child=$!
while kill -0 "$child" 2>/dev/null && [ ! -e "$work/stop" ]; do sleep 0.05; done
