// discovery_bench: how discovery copes with many adapters. For each size N it
// starts the adapter simulator with N generated adapters, runs one two-second
// DiscoverAdapters exchange and reports what arrived and what it cost.
// Runs only inside the private test network (scripts/netns-run.sh), since it
// broadcasts. Usage: discovery_bench [--runs R] [--sizes N,N,...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "net/broadcast_channel.h"
#include "net/discovery.h"
#include "tests/support/sim_process.h"
#include "tools/bench_common/bench_common.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Collected {
    std::set<std::string> macs;
    int callbacks = 0;
    Clock::time_point start;
    double lastAnswerMs = 0;
};
Collected g_collected;

void Collect(const AdapterRecord* record) {
    CString mac;
    record->GetMacText(mac);
    g_collected.macs.insert(mac.GetString());
    ++g_collected.callbacks;
    g_collected.lastAnswerMs =
        std::chrono::duration<double, std::milli>(Clock::now() - g_collected.start).count();
}

struct Result {
    int distinct = 0;
    int callbacks = 0;
    double wallMs = 0;
    double lastAnswerMs = 0;
    double cpuMs = 0;
};

bool RunOnce(int size, Result& result) {
    SimulatorProcess sim;
    if (!sim.Start({"--generate", std::to_string(size), "--lifetime", "30"})) {
        std::fprintf(stderr, "discovery_bench: %s\n", sim.GetLastError().c_str());
        return false;
    }
    OpenChannel();
    if (!g_pBroadcastChannel || g_pBroadcastChannel->broadcastAddress.sin_family != AF_INET) {
        std::fprintf(stderr, "discovery_bench: the broadcast channel could not be set up\n");
        CloseChannel();
        return false;
    }
    g_collected = Collected{};
    double cpuBefore = ProcessCpuMs();
    g_collected.start = Clock::now();
    DiscoverAdapters(2, Collect);
    result.wallMs =
        std::chrono::duration<double, std::milli>(Clock::now() - g_collected.start).count();
    result.cpuMs = ProcessCpuMs() - cpuBefore;
    result.distinct = static_cast<int>(g_collected.macs.size());
    result.callbacks = g_collected.callbacks;
    result.lastAnswerMs = g_collected.lastAnswerMs;
    CloseChannel();
    sim.Stop();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions options{1, {10, 100, 1000}};
    if (int code = ParseBenchOptions("discovery_bench", argc, argv, 30000, options))
        return code;
    if (!RequirePrivateNetwork("discovery_bench", "it broadcasts on UDP port 9029"))
        return 3;
    const int runs = options.runs;
    const std::vector<int>& sizes = options.sizes;

    StartSocketLibrary();
#ifdef _WIN32
    const char* platform = "windows";
#else
    const char* platform = "native";
#endif
    std::printf("discovery_bench (%s): one DiscoverAdapters(2) per run, %d run(s) per size\n",
                platform, runs);
    std::printf("%6s %4s %10s %10s %10s %12s %9s\n", "N", "run", "found/N", "callbacks", "wall ms",
                "last ans ms", "CPU ms");
    int failures = 0;
    std::vector<std::string> summary;
    for (int size : sizes) {
        std::vector<double> found, callbacks, wall, last, cpu;
        for (int run = 1; run <= runs; ++run) {
            Result r;
            if (!RunOnce(size, r)) {
                ++failures;
                continue;
            }
            std::printf("%6d %4d %5d/%-4d %10d %10.0f %12.1f %9.1f\n", size, run, r.distinct, size,
                        r.callbacks, r.wallMs, r.lastAnswerMs, r.cpuMs);
            std::fflush(stdout);
            found.push_back(r.distinct);
            callbacks.push_back(r.callbacks);
            wall.push_back(r.wallMs);
            last.push_back(r.lastAnswerMs);
            cpu.push_back(r.cpuMs);
        }
        if (found.empty())
            continue;
        char line[160];
        std::snprintf(line, sizeof(line), "%6d %4s %5.0f/%-4d %10.0f %10.0f %12.1f %9.1f", size,
                      "med", Median(found), size, Median(callbacks), Median(wall), Median(last),
                      Median(cpu));
        summary.push_back(line);
    }
    std::printf("medians:\n");
    for (const std::string& line : summary)
        std::printf("%s\n", line.c_str());
    StopSocketLibrary();
    return failures ? 1 : 0;
}
