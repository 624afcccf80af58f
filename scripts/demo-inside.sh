#!/usr/bin/env bash
# The demo's part inside the private test network (started by run.sh).
set -euo pipefail
prefix=$PWD/build/windows/wineprefix
scripts/wine-prefix.sh "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all

# Four adapters on the lab side; one is controlled by another workstation.
# PELLVANE_DEMO_FINDING=1 adds a fifth, new from the factory on an address of
# another subnet, and the screenshot shows its row's tip. PELLVANE_DEMO_EMPTY=1
# starts no adapter at all: the status bar says what to check.
finding=${PELLVANE_DEMO_FINDING:-0}
empty=${PELLVANE_DEMO_EMPTY:-0}
extra=()
[ "$finding" = "1" ] && extra=(--adapter 192.168.0.10,00:1b:2c:10:00:05)
sim_log=build/demo/simulator.log
sim_pid=""
if [ "$empty" != "1" ]; then
  build/native/tools/adapter_sim/adapter_sim \
    --adapter 10.231.0.21,00:1b:2c:10:00:01 \
    --adapter 10.231.0.22,00:1b:2c:10:00:02,10.231.0.77 \
    --adapter 10.231.0.23,00:1b:2c:10:00:03 \
    --adapter 10.231.0.24,00:1b:2c:10:00:04 \
    "${extra[@]}" --lifetime 3600 --log "$sim_log" &
  sim_pid=$!
fi

# PELLVANE_DPI shows the window scaled (144 = 150 %, 192 = 200 %): Wine takes
# the DPI from the registry when a program starts. The prefix is the tests'
# one, so the value it had is put back when the demo ends.
desktop='HKCU\Control Panel\Desktop'
old_dpi=""
restore_dpi() { :; }
if [ -n "${PELLVANE_DPI:-}" ]; then
  wine reg query "$desktop" /v LogPixels >build/demo/dpi.txt 2>&1 </dev/null || true
  old_dpi=$(awk '$1 == "LogPixels" { print $3 }' build/demo/dpi.txt)
  restore_dpi() {
    if [ -n "$old_dpi" ]; then
      wine reg add "$desktop" /v LogPixels /t REG_DWORD /d $((old_dpi)) /f
    else
      wine reg delete "$desktop" /v LogPixels /f
    fi >>build/demo/dpi.txt 2>&1 </dev/null || true
    restore_dpi() { :; }
  }
  wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$PELLVANE_DPI" /f >>build/demo/dpi.txt 2>&1 </dev/null
fi
trap '[ -z "$sim_pid" ] || kill $sim_pid 2>/dev/null || true; restore_dpi' EXIT
sleep 0.5

title="Configuration of Tessik/AD"
if [ "${PELLVANE_DEMO_SHOT:-0}" != "1" ]; then
  echo "Pellvane is running on $DISPLAY inside the private test network; close it to end the demo."
  wine build/windows/app/Pellvane.exe >build/demo/wine.log 2>&1 </dev/null || true
  exit 0
fi

wine build/windows/app/Pellvane.exe >build/demo/wine.log 2>&1 </dev/null &
app_pid=$!
shot=$PWD/build/demo/pellvane${PELLVANE_DPI:+-${PELLVANE_DPI}dpi}.png
[ "$finding" = "1" ] && shot=${shot%.png}-finding.png
[ "$empty" = "1" ] && shot=${shot%.png}-empty.png
for _ in $(seq 150); do
  if ! kill -0 $app_pid 2>/dev/null; then
    wait $app_pid && rc=0 || rc=$?
    echo "Pellvane started and ended without a window (exit code $rc); simulator log: $sim_log"
    exit 0
  fi
  if win=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1) && [ -n "$win" ]; then
    sleep 1
    if [ "$finding" = "1" ]; then
      # The mouse on the fifth row (at 100 %) until its tip shows; the shot
      # is cut to the window.
      xdotool mousemove --window "$win" 80 223
      for _ in $(seq 50); do
        xdotool search --onlyvisible --class tooltips_class32 >/dev/null 2>&1 && break
        sleep 0.1
      done
      eval "$(xdotool getwindowgeometry --shell "$win")"
      import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
    elif [ "$empty" = "1" ]; then
      eval "$(xdotool getwindowgeometry --shell "$win")"
      import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
    else
      import -window root "$shot"
    fi
    echo "Screenshot of the Pellvane window: $shot"
    xdotool windowclose "$win" 2>/dev/null || true
    break
  fi
  sleep 0.2
done
# Before the server goes: it keeps the registry and writes it out as it ends.
restore_dpi
wineserver -k 2>/dev/null || true
