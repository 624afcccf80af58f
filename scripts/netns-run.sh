#!/usr/bin/env bash
# netns-run.sh COMMAND [ARGS...]
#
# Runs COMMAND inside a private test network: new network, mount, UTS and PID
# namespaces with one veth pair (pv0 10.231.0.1/24 <-> pv1, the lab side) and
# the default route on pv0. pv1 has no address of its own: both ends of a pair
# in one namespace would be addresses of the workstation, which is to have one
# network card here (scripts/lab-segment.sh adds a second). Simulators listen
# on 0.0.0.0 and hear the workstation's broadcasts locally. Nothing sent
# inside can reach this machine's real interfaces. Inside:
#   - the host name is "pellvane-ws" and resolves (natively, via a private
#     /etc/hosts) to 10.231.0.1; /etc/resolv.conf is empty, so no DNS is tried;
#   - Wine's server directory is private, so every wineserver (and with it
#     every Wine socket) starts inside the namespace;
#   - PELLVANE_NETNS=1, PELLVANE_WORKSTATION_IP and PELLVANE_ADAPTER_NET are set;
#   - with PELLVANE_XVFB=1 a private Xvfb display is started and DISPLAY set.
# When COMMAND ends, Wine servers and Xvfb started inside are stopped, and the
# PID namespace ends every process that is left.
#
# If no namespace can be made (neither root nor unprivileged user namespaces),
# COMMAND runs anyway with PELLVANE_NETNS_UNAVAILABLE set to the reason:
# networked tests then report themselves as skipped.
set -euo pipefail

WS_IP=10.231.0.1

if [ "${1:-}" != "--inside" ]; then
  if [ "${PELLVANE_NETNS:-}" = "1" ]; then exec "$@"; fi
  self=$(readlink -f "$0")
  if [ "$(id -u)" -eq 0 ]; then
    flags=(-n -m -u -p -f --mount-proc --propagation private)
  else
    flags=(-r -n -m -u -p -f --mount-proc --propagation private)
  fi
  if reason=$(unshare "${flags[@]}" true 2>&1); then
    exec unshare "${flags[@]}" bash "$self" --inside "$@"
  fi
  echo "netns-run: no private test network (${reason:-unshare failed}); networked tests will be skipped" >&2
  export PELLVANE_NETNS_UNAVAILABLE="cannot create a private network namespace: ${reason:-unshare failed}"
  exec "$@"
fi
shift

# --- inside the namespaces ---
ip link set lo up
ip link add pv0 type veth peer name pv1
ip addr add ${WS_IP}/24 dev pv0
ip link set pv0 up
ip link set pv1 up
ip route add default dev pv0
# Room for a thousand answers arriving at once (harmless where not permitted).
sysctl -q -w net.core.rmem_max=8388608 2>/dev/null || true

hostname pellvane-ws
private=$(mktemp -d /tmp/pellvane-netns.XXXXXX)
printf '127.0.0.1 localhost\n%s pellvane-ws\n' "$WS_IP" >"$private/hosts"
: >"$private/resolv.conf"
mount --bind "$private/hosts" /etc/hosts
mount --bind "$private/resolv.conf" /etc/resolv.conf

# Wine keeps its server sockets in /tmp/.wine-UID: a private one means no
# wineserver from outside this network can be reached from in here.
winedir=/tmp/.wine-$(id -u)
mkdir -p "$winedir"
mount -t tmpfs -o mode=0700 tmpfs "$winedir"

export PELLVANE_NETNS=1
export PELLVANE_WORKSTATION_IP=$WS_IP
export PELLVANE_ADAPTER_NET=10.231.0
unset PELLVANE_NETNS_UNAVAILABLE

xvfb_pid=""
if [ "${PELLVANE_XVFB:-0}" = "1" ]; then
  # A private socket directory, so no other run can meet this display, and a
  # display number that Xvfb picks itself (-displayfd) among those whose lock
  # files in /tmp are free.
  mkdir -p /tmp/.X11-unix
  mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$private/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$private/display" ] && break
    sleep 0.1
  done
  number=$(tr -dc 0-9 <"$private/display")
  if [ -z "$number" ]; then
    echo "netns-run: Xvfb did not start; UI tests will skip" >&2
  else
    export DISPLAY=:$number
  fi
fi

cleanup() {
  # Stop every Wine server this run started, prefix by prefix.
  for p in ${PELLVANE_WINEPREFIXES:-}; do
    WINEPREFIX=$p wineserver -k 2>/dev/null || true
  done
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$private"
}
trap cleanup EXIT

set +e
"$@"
rc=$?
exit $rc
