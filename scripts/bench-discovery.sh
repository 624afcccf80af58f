#!/usr/bin/env bash
# bench-discovery.sh [--two-segments] [--exchanges K] [--spread-ms M] [--cli] [--runs R] [--sizes N,N,...]
#
# --two-segments: N adapters on the workstation's first card and N more behind
# a second card (scripts/lab-segment.sh; the native simulator serves it in the
# Wine run too). --exchanges K: K exchanges in a row into one adapter table;
# --spread-ms M: the simulators spread their answers over M ms.
# --cli: pellvane-cli list instead of the in-process exchange, natively only
# (under Wine the Windows simulator cannot send tens of thousands of answers
# within the exchange).
# Builds the adapter simulator and the discovery benchmark where needed (a
# native build without sanitizers, so CPU figures mean something, and the
# Windows build) and runs the benchmark in the private test network: natively,
# then the Windows programs under Wine. Arguments go to both runs.
# Build directories: build/bench-native and build/bench-windows (override with
# PELLVANE_BENCH_NATIVE_DIR / PELLVANE_BENCH_WINDOWS_DIR).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
native=${PELLVANE_BENCH_NATIVE_DIR:-$root/build/bench-native}
windows=${PELLVANE_BENCH_WINDOWS_DIR:-$root/build/bench-windows}

cd "$root"
if [ ! -f "$native/build.ninja" ]; then
  cmake --preset native -B "$native" -DPELLVANE_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$native" --target adapter_sim discovery_bench
cli=0
for arg in "$@"; do
  if [ "$arg" = --cli ]; then cli=1; fi
done
if [ "$cli" = 1 ]; then
  exec "$root/scripts/netns-run.sh" "$native/tools/discovery_bench/discovery_bench" "$@"
fi
if [ ! -f "$windows/build.ninja" ]; then
  cmake --preset windows -B "$windows" -DPELLVANE_NATIVE_ADAPTER_SIM="$native/tools/adapter_sim/adapter_sim" >/dev/null
fi
cmake --build "$windows" --target adapter_sim discovery_bench

# Everything below broadcasts or starts Wine: only inside the private network.
export PELLVANE_WINEPREFIXES="$windows/wineprefix"
exec "$root/scripts/netns-run.sh" bash -c '
  set -euo pipefail
  root=$1 native=$2 windows=$3
  shift 3
  echo "== native"
  "$native/tools/discovery_bench/discovery_bench" "$@"
  echo "== windows (Wine)"
  "$root/scripts/wine-prefix.sh" "$windows/wineprefix"
  # Through a file: Wine helper processes would hold a pipe open.
  out=$(mktemp "${TMPDIR:-/tmp}/bench-wine.XXXXXX")
  rc=0
  WINEPREFIX="$windows/wineprefix" WINEDEBUG=-all \
    wine "$windows/tools/discovery_bench/discovery_bench.exe" "$@" >"$out" 2>&1 </dev/null || rc=$?
  cat "$out"
  rm -f "$out"
  exit $rc
' bench "$root" "$native" "$windows" "$@"
