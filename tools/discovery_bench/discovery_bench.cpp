// discovery_bench: how discovery copes with many adapters. For each size N it
// starts the adapter simulator with N generated adapters, runs one two-second
// DiscoverAdapters exchange and reports what arrived and what it cost. With
// --two-segments the workstation has a second card with N more adapters
// behind it (10.232.128.0/17, scripts/lab-segment.sh), and what was found is
// counted per segment. Answers are merged into an adapter table, as the
// program does; --exchanges K runs K exchanges in a row on the same table and
// --spread-ms M has the simulator spread its answers over M ms. --cli
// (native only) runs pellvane-cli list instead, as a separate program, and
// reports what the whole command cost: its discovery and its listing.
// Runs only inside the private test network (scripts/netns-run.sh), since it
// broadcasts. Usage: discovery_bench [--two-segments] [--exchanges K]
// [--spread-ms M] [--cli] [--runs R] [--sizes N,N,...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "net/adapter_table.h"
#include "net/broadcast_channel.h"
#include "net/discovery.h"
#include "tests/support/sim_process.h"
#include "tools/bench_common/bench_common.h"
#ifndef _WIN32
#include "tools/discovery_bench/timed_list.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// The second segment's generated adapters; the first one's are 10.231.128.0/17.
constexpr char kSecondSubnet[] = "10.232.128.0/17";
constexpr char kSecondPrefix[] = "10.232.";
// The default /17 holds 32,766 adapters; a flood needs more room.
constexpr char kLargeSubnet[] = "10.64.0.0/12";
constexpr int kLargestDefaultSubnet = 32766;

struct Collected {
    std::set<std::string> macs;
    // Per segment by IP text: the two simulators generate the same MACs.
    std::set<std::string> firstSegment, secondSegment;
    int callbacks = 0;
    Clock::time_point start;
    double lastAnswerMs = 0;
};
Collected g_collected;

void Collect(const AdapterRecord* record) {
    if (g_pAdapterTable)
        g_pAdapterTable->Upsert(*record);
    CString mac;
    record->GetMacText(mac);
    g_collected.macs.insert(mac.GetString());
    CString ip;
    record->GetIpText(ip);
    if (std::strncmp(ip.GetString(), kSecondPrefix, sizeof(kSecondPrefix) - 1) == 0)
        g_collected.secondSegment.insert(ip.GetString());
    else
        g_collected.firstSegment.insert(ip.GetString());
    ++g_collected.callbacks;
    g_collected.lastAnswerMs =
        std::chrono::duration<double, std::milli>(Clock::now() - g_collected.start).count();
}

struct Result {
    int listed = 0;  // the table's elements after the last exchange
    int distinct = 0;
    int second = 0;  // distinct adapters of the second segment
    int callbacks = 0;
    double wallMs = 0;
    double lastAnswerMs = 0;
    double cpuMs = 0;
    double peakMiB = 0;
};

struct RunOptions {
    bool twoSegments = false;
    int exchanges = 1;
    int spreadMs = 0;
    bool cli = false;
};

bool RunOnce(int size, const RunOptions& how, Result& result) {
    const bool twoSegments = how.twoSegments;
    SimulatorProcess sim, second;
    std::vector<std::string> simArgs = {"--generate",  std::to_string(size),
                                        "--lifetime",  "60",
                                        "--spread-ms", std::to_string(how.spreadMs)};
    if (size > kLargestDefaultSubnet) {
        simArgs.push_back("--subnet");
        simArgs.push_back(kLargeSubnet);
    }
    if (!sim.Start(simArgs)) {
        std::fprintf(stderr, "discovery_bench: %s\n", sim.GetLastError().c_str());
        return false;
    }
    if (twoSegments && !second.StartOnSecondSegment(
                           {"--generate", std::to_string(size), "--subnet", kSecondSubnet,
                            "--lifetime", "60", "--spread-ms", std::to_string(how.spreadMs)})) {
        std::fprintf(stderr, "discovery_bench: %s\n", second.GetLastError().c_str());
        return false;
    }
#ifndef _WIN32
    if (how.cli) {
        const TimedList list = RunTimedList(PELLVANE_CLI_PATH, CAdapterTable::kDiscoverySeconds);
        if (list.exitCode != 0) {
            std::fprintf(stderr, "discovery_bench: pellvane-cli list exited with %d\n",
                         list.exitCode);
            return false;
        }
        result.listed = result.distinct = list.rows;
        result.wallMs = list.wallMs;
        result.cpuMs = list.cpuMs;
        result.peakMiB = list.peakMiB;
        return true;
    }
#endif
    CAdapterTable table;  // opens the channel
    if (!g_pBroadcastChannel || g_pBroadcastChannel->broadcastAddress.sin_family != AF_INET) {
        std::fprintf(stderr, "discovery_bench: the broadcast channel could not be set up\n");
        return false;
    }
    g_collected = Collected{};
    double cpuBefore = ProcessCpuMs();
    for (int i = 0; i < how.exchanges; ++i) {
        double lastAnswer = g_collected.lastAnswerMs;
        g_collected.start = Clock::now();
        DiscoverAdapters(2, Collect);
        result.wallMs = std::max(
            result.wallMs,
            std::chrono::duration<double, std::milli>(Clock::now() - g_collected.start).count());
        if (i > 0)  // the first exchange's answers tell how fast they came
            g_collected.lastAnswerMs = lastAnswer;
    }
    result.cpuMs = (ProcessCpuMs() - cpuBefore) / how.exchanges;
    result.listed = table.GetCount();
    result.peakMiB = ProcessPeakMemoryMiB();
    result.distinct = static_cast<int>(g_collected.macs.size());
    if (twoSegments) {
        result.distinct = static_cast<int>(g_collected.firstSegment.size());
        result.second = static_cast<int>(g_collected.secondSegment.size());
    }
    result.callbacks = g_collected.callbacks;
    result.lastAnswerMs = g_collected.lastAnswerMs;
    sim.Stop();
    second.Stop();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // These options are this program's own; the rest is the benchmarks' common line.
    RunOptions how;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--two-segments") == 0) {
            how.twoSegments = true;
        } else if (i > 0 && i + 1 < argc && std::strcmp(argv[i], "--exchanges") == 0) {
            how.exchanges = std::atoi(argv[++i]);
            if (how.exchanges < 1 || how.exchanges > 10) {
                std::fprintf(stderr, "discovery_bench: --exchanges takes 1 to 10\n");
                return 2;
            }
        } else if (i > 0 && i + 1 < argc && std::strcmp(argv[i], "--spread-ms") == 0) {
            how.spreadMs = std::atoi(argv[++i]);
            if (how.spreadMs < 0 || how.spreadMs > 1900) {
                std::fprintf(stderr, "discovery_bench: --spread-ms takes 0 to 1900\n");
                return 2;
            }
        } else if (i > 0 && std::strcmp(argv[i], "--cli") == 0) {
#ifdef _WIN32
            std::fprintf(stderr, "discovery_bench: --cli runs natively only\n");
            return 2;
#endif
            how.cli = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    const bool twoSegments = how.twoSegments;
    if (how.cli && (how.exchanges != 1 || twoSegments)) {
        std::fprintf(stderr,
                     "discovery_bench: --cli takes neither --exchanges nor --two-segments\n");
        return 2;
    }
    BenchOptions options{1, {10, 100, 1000}};
    if (int code = ParseBenchOptions("discovery_bench", static_cast<int>(args.size()), args.data(),
                                     100000, options))
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
    if (how.cli)
        std::printf(
            "discovery_bench (%s): one pellvane-cli list --seconds 2 per run, answers "
            "spread over %d ms, %d run(s) per size; wall, CPU and peak memory of the "
            "whole command\n",
            platform, how.spreadMs, runs);
    else
        std::printf(
            "discovery_bench (%s): %d DiscoverAdapters(2) per run into one table, answers spread "
            "over %d ms, %d run(s) per size%s\n",
            platform, how.exchanges, how.spreadMs, runs,
            twoSegments ? ", N adapters on each of two segments" : "");
    std::printf("%6s %4s %10s %10s %10s %10s %10s %12s %9s %9s\n", "N", "run",
                twoSegments ? "office/N" : "found/N", twoSegments ? "instr/N" : "", "listed",
                "callbacks", "wall ms", "last ans ms", "CPU ms", "peak MiB");
    int failures = 0;
    std::vector<std::string> summary;
    for (int size : sizes) {
        std::vector<double> found, second, listed, callbacks, wall, last, cpu, peak;
        for (int run = 1; run <= runs; ++run) {
            Result r;
            if (!RunOnce(size, how, r)) {
                ++failures;
                continue;
            }
            char instruments[32] = "";
            if (twoSegments)
                std::snprintf(instruments, sizeof(instruments), "%5d/%-4d", r.second, size);
            std::printf("%6d %4d %5d/%-4d %10s %10d %10d %10.0f %12.1f %9.1f %9.1f\n", size, run,
                        r.distinct, size, instruments, r.listed, r.callbacks, r.wallMs,
                        r.lastAnswerMs, r.cpuMs, r.peakMiB);
            std::fflush(stdout);
            found.push_back(r.distinct);
            second.push_back(r.second);
            listed.push_back(r.listed);
            peak.push_back(r.peakMiB);
            callbacks.push_back(r.callbacks);
            wall.push_back(r.wallMs);
            last.push_back(r.lastAnswerMs);
            cpu.push_back(r.cpuMs);
        }
        if (found.empty())
            continue;
        char instruments[32] = "";
        if (twoSegments)
            std::snprintf(instruments, sizeof(instruments), "%5.0f/%-4d", Median(second), size);
        char line[200];
        std::snprintf(line, sizeof(line),
                      "%6d %4s %5.0f/%-4d %10s %10.0f %10.0f %10.0f %12.1f %9.1f %9.1f", size,
                      "med", Median(found), size, instruments, Median(listed), Median(callbacks),
                      Median(wall), Median(last), Median(cpu), Median(peak));
        summary.push_back(line);
    }
    std::printf("medians:\n");
    for (const std::string& line : summary)
        std::printf("%s\n", line.c_str());
    StopSocketLibrary();
    return failures ? 1 : 0;
}
