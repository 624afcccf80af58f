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

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

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

// User plus system time of this process, in milliseconds.
double ProcessCpuMs() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;  // 100 ns units
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
#endif
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool ParseSizes(const char* text, std::vector<int>& sizes) {
    sizes.clear();
    std::string list = text;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        std::string item = list.substr(start, end == std::string::npos ? end : end - start);
        char* rest = nullptr;
        long value = std::strtol(item.c_str(), &rest, 10);
        if (item.empty() || *rest != '\0' || value < 1 || value > 30000)
            return false;
        sizes.push_back(static_cast<int>(value));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return !sizes.empty();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 1;
    std::vector<int> sizes = {10, 100, 1000};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
            if (runs < 1 || runs > 50) {
                std::fprintf(stderr, "discovery_bench: --runs takes 1 to 50\n");
                return 2;
            }
        } else if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
            if (!ParseSizes(argv[++i], sizes)) {
                std::fprintf(stderr,
                             "discovery_bench: --sizes takes numbers 1-30000, e.g. 10,100\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "usage: discovery_bench [--runs R] [--sizes N,N,...]\n");
            return 2;
        }
    }
    const char* inside = std::getenv("PELLVANE_NETNS");
    if (!inside || std::strcmp(inside, "1") != 0) {
        std::fprintf(stderr,
                     "discovery_bench: refusing to run: it broadcasts on UDP port 9029 and must "
                     "run inside the private test network (scripts/netns-run.sh)\n");
        return 3;
    }

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
