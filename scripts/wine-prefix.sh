#!/usr/bin/env bash
# wine-prefix.sh PREFIX: makes (or refreshes) a Wine prefix for tests and the
# demo: 64-bit, no crash dialog, unmanaged windows (no 2 s stall on close
# without a window manager), and starts its server for the run. Run it inside
# scripts/netns-run.sh, like every Wine start. Idempotent.
set -euo pipefail
prefix=$(mkdir -p "$1" && cd "$1" && pwd)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64
# No Mono/Gecko installers: nothing may be fetched.
export WINEDLLOVERRIDES="mscoree,mshtml="
log=$prefix.log
if [ ! -f "$prefix/.pellvane-ready" ]; then
  wineboot -i >"$log" 2>&1 </dev/null || { cat "$log" >&2; exit 1; }
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$log" 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1
  wineserver -w
  touch "$prefix/.pellvane-ready"
fi
# One server for the whole run, kept even when idle: a server that ends
# after a few idle seconds can drop a program that connects just then
# ("wine client error: recvmsg: Connection reset by peer"). The private test
# network stops it at its end.
wineserver -p || true
# Then one process first, so parallel test programs do not race a starting
# server. It also drops a display DPI that a scaled test or demo killed
# midway left behind (absent: the default 96).
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >>"$log" 2>&1 </dev/null || true
