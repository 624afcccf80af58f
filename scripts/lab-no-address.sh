#!/usr/bin/env bash
# lab-no-address.sh WORKDIR PROGRAM [ARGS...]
#
# The workstation without an IPv4 address, in the private test network (run
# it inside scripts/netns-run.sh): pv0 loses 10.231.0.1/24, as a card left
# without an address (no DHCP server, cable out), so no card other than
# loopback has one. PROGRAM (a native adapter simulator) runs beside it.
# Runs until PROGRAM ends or WORKDIR/stop appears; then the address and the
# default route are put back and WORKDIR/ended written. Test programs start it
# (tests/support/sim_process), also from under Wine.
set -euo pipefail
# Started from a Wine program, the search path is Wine's.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

address=10.231.0.1/24
work=$1
shift
if [ "${PELLVANE_NETNS:-}" != "1" ]; then
  echo "lab-no-address: only inside the private test network (scripts/netns-run.sh)" >&2
  touch "$work/ended"
  exit 2
fi

child=""
finish() {
  if [ -n "$child" ]; then
    kill "$child" 2>/dev/null || true
    wait "$child" 2>/dev/null || true
  fi
  # The last address of a card takes its routes along.
  ip addr add "$address" dev pv0 2>/dev/null || true
  ip route replace default dev pv0 2>/dev/null || true
  touch "$work/ended"
}
trap finish EXIT

ip addr del "$address" dev pv0

"$@" &
child=$!
while kill -0 "$child" 2>/dev/null && [ ! -e "$work/stop" ]; do sleep 0.05; done
