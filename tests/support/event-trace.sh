#!/bin/sh
# event-trace.sh DIR PROGRAM [ARGS...]: runs a Windows program under Wine with
# the eventlog channel on, its Unix standard error in DIR/trace, then writes
# its exit status to DIR/status (a Unix script started from a Wine program
# comes back without a process handle to wait on).
dir=$1
shift
WINEDEBUG=fixme+advapi,+eventlog timeout 60 wine "$@" >/dev/null 2>"$dir/trace" </dev/null
echo $? >"$dir/status.tmp" && mv "$dir/status.tmp" "$dir/status"
