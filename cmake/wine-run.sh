#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest: wine-run.sh PREFIX PROGRAM [ARGS...]
# Output goes through a file: Wine's helper processes would otherwise hold
# ctest's pipe open long after the program has ended.
set -u
export WINEPREFIX="$1"
shift
export WINEDEBUG=-all
log=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
wine "$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
rm -f "$log"
exit $rc
