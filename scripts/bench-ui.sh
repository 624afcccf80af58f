#!/usr/bin/env bash
# bench-ui.sh [--runs R] [--sizes N,N,...] [--merge-sizes N,N,...] [--updates U]
#             [--spread-ms M] [--memory] [--second-segment] [--no-merge]
#
# Capacity benchmarks. Builds what is needed (a native build without
# sanitizers, so the figures mean something, and the Windows build), then in
# the private test network with a private X display:
#   1. merge_bench natively: the adapter table's merge and read-back cost at
#      1000 and 5000 adapters (--merge-sizes);
#   2. ui_bench under Wine: Pellvane started R times per size N (default 5
#      runs of 10, 100 and 1000 simulated adapters): start to window shown,
#      one "Update" from click to painted rows, its rebuild part, rows listed
#      and CPU time, peak memory, with medians; --updates U clicks "Update" U
#      times in a row, --spread-ms M spreads the simulator's answers over M ms.
# --memory: no rows read back in step 2, so the memory figures are the
# program's own. --second-segment: the simulator is the native one, on a
# second lab segment behind a second card (scripts/lab-segment.sh), which can
# send a flood within the exchange, unlike the Windows one under Wine.
# --no-merge skips step 1.
# Build directories: build/bench-ui-native and build/bench-ui-windows
# (override with PELLVANE_BENCH_UI_NATIVE_DIR / PELLVANE_BENCH_UI_WINDOWS_DIR).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
native=${PELLVANE_BENCH_UI_NATIVE_DIR:-$root/build/bench-ui-native}
windows=${PELLVANE_BENCH_UI_WINDOWS_DIR:-$root/build/bench-ui-windows}

ui_args=()
merge_args=()
skip_merge=0
while [ $# -gt 0 ]; do
  case $1 in
    --runs) ui_args+=(--runs "$2"); merge_args+=(--runs "$2"); shift 2 ;;
    --sizes) ui_args+=(--sizes "$2"); shift 2 ;;
    --merge-sizes) merge_args+=(--sizes "$2"); shift 2 ;;
    --updates|--spread-ms) ui_args+=("$1" "$2"); shift 2 ;;
    --memory|--second-segment) ui_args+=("$1"); shift ;;
    --no-merge) skip_merge=1; shift ;;
    *) echo "usage: $0 [--runs R] [--sizes N,N,...] [--merge-sizes N,N,...] [--updates U] [--spread-ms M] [--memory] [--second-segment] [--no-merge]" >&2; exit 2 ;;
  esac
done

cd "$root"
if [ ! -f "$native/build.ninja" ]; then
  cmake --preset native -B "$native" -DPELLVANE_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$native" --target merge_bench adapter_sim
if [ ! -f "$windows/build.ninja" ]; then
  cmake --preset windows -B "$windows" -DPELLVANE_NATIVE_ADAPTER_SIM="$native/tools/adapter_sim/adapter_sim" >/dev/null
fi
cmake --build "$windows" --target adapter_sim ui_bench

# Everything below opens sockets or starts Wine: only inside the private network.
export PELLVANE_WINEPREFIXES="$windows/wineprefix"
export PELLVANE_XVFB=1
exec "$root/scripts/netns-run.sh" bash -c '
  set -euo pipefail
  root=$1 native=$2 windows=$3 skip_merge=$4 nmerge=$5
  shift 5
  merge_args=("${@:1:$nmerge}")
  ui_args=("${@:$((nmerge + 1))}")
  if [ "$skip_merge" = 0 ]; then
    echo "== adapter table (native)"
    "$native/tools/ui_bench/merge_bench" ${merge_args[@]+"${merge_args[@]}"}
  fi
  echo "== main window (Windows build under Wine, Xvfb)"
  "$root/scripts/wine-prefix.sh" "$windows/wineprefix"
  # Through a file: Wine helper processes would hold a pipe open.
  out=$(mktemp "${TMPDIR:-/tmp}/bench-ui.XXXXXX")
  rc=0
  WINEPREFIX="$windows/wineprefix" WINEDEBUG=-all \
    wine "$windows/tools/ui_bench/ui_bench.exe" ${ui_args[@]+"${ui_args[@]}"} >"$out" 2>&1 </dev/null || rc=$?
  cat "$out"
  rm -f "$out"
  exit $rc
' bench "$root" "$native" "$windows" "$skip_merge" "${#merge_args[@]}" \
  ${merge_args[@]+"${merge_args[@]}"} ${ui_args[@]+"${ui_args[@]}"}
