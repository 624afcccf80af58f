#!/bin/sh
# event-trace.sh DIR PROGRAM [ARGS...]
# Runs a Windows program under Wine with the eventlog channel on, its output
# in DIR/out and its Unix standard error (where Wine's channels print) in
# DIR/trace; DIR/status, written last, holds its exit status. The Windows
# side (event_trace.cpp) waits for that file: a Unix script started from a
# Wine program comes back without a process handle.
dir=$1
shift
WINEDEBUG=fixme+advapi,+eventlog timeout 60 wine "$@" >"$dir/out" 2>"$dir/trace" </dev/null
echo $? >"$dir/status.tmp" && mv "$dir/status.tmp" "$dir/status"
