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
address=10.231.0.2/24
undo_lab() {
  ip addr del "$address" dev pv1 2>/dev/null || true
}
. "$(dirname "$0")/lab-frame.sh"

ip addr del "$address" dev pv1 2>/dev/null || true  # left over by a run that was killed
ip addr add "$address" dev pv1

"$@" &
child=$!
wait_for_lab
