#!/usr/bin/env bash
# lab-segment.sh WORKDIR PROGRAM [ARGS...]
#
# A second lab segment in the private test network (run it inside
# scripts/netns-run.sh): the workstation gets a second network card, pv2
# 10.232.0.1/24, whose peer pv3 (10.232.0.2/24, default route) lives in a
# network namespace of its own, where PROGRAM (a native adapter simulator)
# runs. Only what the workstation sends through pv2 reaches it, as on a real
# instrument network. Runs until PROGRAM ends or WORKDIR/stop appears; then
# the segment is removed and WORKDIR/ended written. Test programs start it
# (tests/support/sim_process), also from under Wine.
undo_lab() {
  # Deleting one end removes both, at once, so the next segment can be made.
  ip link del pv2 2>/dev/null || true
}
. "$(dirname "$0")/lab-frame.sh"

ip link del pv2 2>/dev/null || true  # left over by a run that was killed
ip link add pv2 type veth peer name pv3
ip addr add 10.232.0.1/24 dev pv2
ip link set pv2 up

unshare -n bash -c '
  until ip link show pv3 >/dev/null 2>&1; do sleep 0.01; done
  ip link set lo up
  ip addr add 10.232.0.2/24 dev pv3
  ip link set pv3 up
  ip route add default dev pv3
  exec "$@"' lab-segment "$@" &
child=$!
# Move the peer only once the child has its own network namespace.
own=$(readlink /proc/$$/ns/net)
for _ in $(seq 500); do
  [ "$(readlink /proc/$child/ns/net 2>/dev/null || echo "$own")" != "$own" ] && break
  sleep 0.01
done
ip link set pv3 netns "$child"

wait_for_lab
