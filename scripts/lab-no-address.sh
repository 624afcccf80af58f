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
address=10.231.0.1/24
undo_lab() {
  # The last address of a card takes its routes along.
  ip addr add "$address" dev pv0 2>/dev/null || true
  ip route replace default dev pv0 2>/dev/null || true
}
. "$(dirname "$0")/lab-frame.sh"

ip addr del "$address" dev pv0

"$@" &
child=$!
wait_for_lab
