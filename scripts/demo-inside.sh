#!/usr/bin/env bash
# The demo's part inside the private test network (started by run.sh).
set -euo pipefail
prefix=$PWD/build/windows/wineprefix
scripts/wine-prefix.sh "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all

# Four adapters on the lab side; one is controlled by another workstation.
sim_log=build/demo/simulator.log
build/native/tools/adapter_sim/adapter_sim \
  --adapter 10.231.0.21,00:1b:2c:10:00:01 \
  --adapter 10.231.0.22,00:1b:2c:10:00:02,10.231.0.77 \
  --adapter 10.231.0.23,00:1b:2c:10:00:03 \
  --adapter 10.231.0.24,00:1b:2c:10:00:04 \
  --lifetime 3600 --log "$sim_log" &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true' EXIT
sleep 0.5

title="Configuration of Tessik/AD"
if [ "${PELLVANE_DEMO_SHOT:-0}" != "1" ]; then
  echo "Pellvane is running on $DISPLAY inside the private test network; close it to end the demo."
  wine build/windows/app/Pellvane.exe >build/demo/wine.log 2>&1 </dev/null || true
  exit 0
fi

wine build/windows/app/Pellvane.exe >build/demo/wine.log 2>&1 </dev/null &
app_pid=$!
shot=$PWD/build/demo/pellvane.png
for _ in $(seq 150); do
  if ! kill -0 $app_pid 2>/dev/null; then
    wait $app_pid && rc=0 || rc=$?
    echo "Pellvane started and ended without a window (exit code $rc); simulator log: $sim_log"
    exit 0
  fi
  if win=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1) && [ -n "$win" ]; then
    sleep 1
    import -window root "$shot"
    echo "Screenshot of the Pellvane window: $shot"
    xdotool windowclose "$win" 2>/dev/null || true
    break
  fi
  sleep 0.2
done
wineserver -k 2>/dev/null || true
