// pellvane-cli list run as a separate program, as a script runs it, with
// what it cost: the whole command, from its start to its exit, including its
// own discovery. Native only: the child's CPU time and peak memory come from
// wait4.
#pragma once

#include <string>

struct TimedList {
    int exitCode = -1;  // -1: it could not start or did not end normally
    int rows = 0;       // adapters listed (CSV lines after the header)
    double wallMs = 0;
    double cpuMs = 0;
    double peakMiB = 0;
};

// Runs `program list --seconds S --format csv`, its output into a file
// under the temporary folder.
TimedList RunTimedList(const std::string& program, int seconds);
