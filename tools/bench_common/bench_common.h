// What the benchmark programs share: their command line (--runs R and
// --sizes N,N,...), the refusal to run outside the private test network,
// medians and the process's CPU time.
#pragma once

#include <string>
#include <vector>

struct BenchOptions {
    int runs;
    std::vector<int> sizes;
};

// "10,100,1000" -> {10, 100, 1000}; false for anything else or a number
// outside [1, maxValue]: a mistyped list is refused, not run as something else.
bool ParseSizeList(const std::string& list, int maxValue, std::vector<int>& sizes);

// Reads --runs and --sizes into options (which holds the defaults). 0 when
// the command line is good; otherwise the message is printed and the
// program's exit code (2) returned.
int ParseBenchOptions(const char* name, int argc, char** argv, int maxSize, BenchOptions& options);

// True inside scripts/netns-run.sh; otherwise prints why `name` refuses.
bool RequirePrivateNetwork(const char* name, const char* why);

double Median(std::vector<double> values);

// User plus system time of this process, in milliseconds.
double ProcessCpuMs();

// This process's resident memory now and at its peak so far, in MiB.
double ProcessMemoryMiB();
double ProcessPeakMemoryMiB();
