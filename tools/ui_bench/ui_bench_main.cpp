// ui_bench: how the main window copes with many adapters. For each size N it
// starts the adapter simulator with N generated adapters, then runs Pellvane
// (its real start-up, in a fresh child process of this program, watched by
// the UI probe) several times: start to window shown, one "Update" from click
// to painted rows, the share of that spent rebuilding the list after the
// exchange, rows listed / N and CPU time, and the program's peak memory above
// its size before start-up. With --updates U it clicks "Update" U times in a
// row and also reports the slowest; --spread-ms M has the simulator spread its
// answers over M ms. With --memory the rows are not read back (listed shows
// 0), so that the memory figures are the program's alone. With
// --second-segment the simulator is the native one, on a second lab segment
// behind a second card: under Wine a Windows simulator cannot send a flood
// of 50,000 answers within the two-second exchange. Prints every run and the
// medians.
// Windows only; runs only inside the private test network under a display.
// Usage: ui_bench [--updates U] [--spread-ms M] [--memory] [--second-segment]
//                 [--runs R] [--sizes N,N,...]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/adapter_config_app.h"
#include "tests/support/sim_process.h"
#include "tools/bench_common/bench_common.h"
#include "tools/ui_bench/ui_probe.h"

#include <windows.h>

namespace {

constexpr DWORD kChildTimeoutMs = 300000;
// The simulator's default /17 holds 32,766 adapters; a flood needs more room.
constexpr char kLargeSubnet[] = "10.64.0.0/12";
constexpr int kLargestDefaultSubnet = 32766;

using Figures = std::map<std::string, double>;

// Rows that show their own table entry, counted once per adapter.
int CountListed(const ProbeSnapshot& snapshot) {
    std::set<std::string> macs;
    for (size_t i = 0; i < snapshot.rows.size() && i < snapshot.table.size(); ++i)
        if (snapshot.rows[i] == snapshot.table[i] && !snapshot.rows[i].mac.empty())
            macs.insert(snapshot.rows[i].mac);
    return static_cast<int>(macs.size());
}

// --child: one probed run of the program; figures go to `outPath`.
int RunChild(const char* outPath, int updates, bool memory) {
    CAdapterConfigApp app;
    ProbeReport report;
    std::string error;
    ProbeOptions probe;
    probe.updates = updates;
    probe.snapshots = !memory;
    const double idleMiB = ProcessMemoryMiB();
    bool ok = RunProbedSession(probe, report, error);
    const double peakMiB = ProcessPeakMemoryMiB();
    std::ofstream out(outPath);
    if (!ok || report.updates.empty()) {
        out << "error " << (error.empty() ? "no update measured" : error) << "\n";
        return 1;
    }
    const ProbeUpdate& update = report.updates.front();
    double slowest = 0;
    for (const ProbeUpdate& u : report.updates)
        slowest = std::max(slowest, u.clickToListedMs);
    out << "last_update_ms " << report.updates.back().clickToListedMs << "\n"
        << "slowest_update_ms " << slowest << "\n"
        << "last_listed " << CountListed(report.updates.back().after) << "\n"
        << "peak_mib " << peakMiB << "\n"
        << "above_idle_mib " << peakMiB - idleMiB << "\n"
        << "start_ms " << report.startToShownMs << "\n"
        << "start_listed " << CountListed(report.atStart) << "\n"
        << "update_ms " << update.clickToListedMs << "\n"
        << "exchange_ms " << update.exchangeMs << "\n"
        << "rebuild_ms " << update.rebuildMs << "\n"
        << "cpu_ms " << update.cpuMs << "\n"
        << "repainted " << (update.repainted ? 1 : 0) << "\n"
        << "rows " << update.after.rows.size() << "\n"
        << "listed " << CountListed(update.after) << "\n";
    return 0;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts this program again with --child and reads back its figures.
bool RunChildProcess(int updates, bool memory, Figures& figures, std::string& error) {
    char self[MAX_PATH] = {};
    char tempDir[MAX_PATH] = {};
    char outPath[MAX_PATH] = {};
    if (!GetModuleFileNameA(nullptr, self, MAX_PATH) || !GetTempPathA(MAX_PATH, tempDir) ||
        !GetTempFileNameA(tempDir, "pvu", 0, outPath)) {
        error = "no temporary file";
        return false;
    }
    std::string commandLine = std::string("\"") + self + "\" --child \"" + outPath + "\" " +
                              std::to_string(updates) + (memory ? " memory" : " rows");
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        error = "could not start the child process";
        DeleteFileA(outPath);
        return false;
    }
    CloseHandle(process.hThread);
    bool ended = WaitForSingleObject(process.hProcess, kChildTimeoutMs) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);

    std::istringstream lines(ReadAll(outPath));
    DeleteFileA(outPath);
    figures.clear();
    std::string key;
    while (lines >> key) {
        if (key == "error") {
            std::getline(lines >> std::ws, error);
            return false;
        }
        double value = 0;
        lines >> value;
        figures[key] = value;
    }
    if (!ended)
        error = "the child run did not end within 300 s";
    else if (figures.size() < 14)
        error = "the child run reported nothing";
    return error.empty();
}

// One line of figures; `note` follows them.
std::string FormatRow(const char* label, int size, const Figures& f, const char* note) {
    char line[300];
    std::snprintf(line, sizeof(line),
                  "%6d %4s %9.0f %7.0f/%-5d %9.0f %10.0f %10.1f %7.0f/%-5d %8.0f %9.0f %9.0f "
                  "%7.0f/%-5d %8.1f %8.1f %s",
                  size, label, f.at("start_ms"), f.at("start_listed"), size, f.at("update_ms"),
                  f.at("exchange_ms"), f.at("rebuild_ms"), f.at("listed"), size, f.at("cpu_ms"),
                  f.at("last_update_ms"), f.at("slowest_update_ms"), f.at("last_listed"), size,
                  f.at("peak_mib"), f.at("above_idle_mib"), note);
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(argv[2], std::atoi(argv[3]), std::strcmp(argv[4], "memory") == 0);

    // These options are this program's own; the rest is the benchmarks' common line.
    int updates = 1;
    int spreadMs = 0;
    bool memory = false;
    bool secondSegment = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--memory") == 0) {
            memory = true;
            continue;
        }
        if (i > 0 && std::strcmp(argv[i], "--second-segment") == 0) {
            secondSegment = true;
            continue;
        }
        if (i > 0 && i + 1 < argc && std::strcmp(argv[i], "--updates") == 0) {
            updates = std::atoi(argv[++i]);
            if (updates < 1 || updates > 10) {
                std::fprintf(stderr, "ui_bench: --updates takes 1 to 10\n");
                return 2;
            }
        } else if (i > 0 && i + 1 < argc && std::strcmp(argv[i], "--spread-ms") == 0) {
            spreadMs = std::atoi(argv[++i]);
            if (spreadMs < 0 || spreadMs > 1900) {
                std::fprintf(stderr, "ui_bench: --spread-ms takes 0 to 1900\n");
                return 2;
            }
        } else {
            args.push_back(argv[i]);
        }
    }
    BenchOptions options{5, {10, 100, 1000}};
    if (int code = ParseBenchOptions("ui_bench", static_cast<int>(args.size()), args.data(), 100000,
                                     options))
        return code;
    if (!RequirePrivateNetwork("ui_bench", "the program broadcasts on UDP port 9029"))
        return 3;
    const int runs = options.runs;
    const std::vector<int>& sizes = options.sizes;

    std::printf(
        "ui_bench: Pellvane's start-up and %d \"Update\"(s) per run, answers spread over %d ms, "
        "%d run(s) per size (after one warm-up run), %s simulator\n",
        updates, spreadMs, runs, secondSegment ? "native second-segment" : "Windows");
    std::printf("%6s %4s %9s %13s %9s %10s %10s %13s %8s %9s %9s %13s %8s %8s\n", "N", "run",
                "start ms", "at start", "update ms", "exchange", "rebuild ms", "listed/N", "CPU ms",
                "last upd", "slowest", "last listed", "peak MiB", "+idle");
    int failures = 0;
    bool warmedUp = false;
    std::vector<std::string> summary;
    for (int size : sizes) {
        SimulatorProcess sim;
        std::vector<std::string> simArgs = {"--generate",  std::to_string(size),
                                            "--lifetime",  std::to_string(60 + 40 * (runs + 1)),
                                            "--spread-ms", std::to_string(spreadMs)};
        if (size > kLargestDefaultSubnet) {
            simArgs.push_back("--subnet");
            simArgs.push_back(kLargeSubnet);
        }
        if (!(secondSegment ? sim.StartOnSecondSegment(simArgs) : sim.Start(simArgs))) {
            std::fprintf(stderr, "ui_bench: %s\n", sim.GetLastError().c_str());
            ++failures;
            continue;
        }
        std::map<std::string, std::vector<double>> columns;
        for (int run = warmedUp ? 1 : 0; run <= runs; ++run) {
            Figures figures;
            std::string error;
            if (!RunChildProcess(updates, memory, figures, error)) {
                std::fprintf(stderr, "ui_bench: N=%d run %d: %s\n", size, run, error.c_str());
                ++failures;
                continue;
            }
            if (run == 0) {  // the first program start in a fresh Wine server is slow
                warmedUp = true;
                continue;
            }
            std::printf("%s\n", FormatRow(std::to_string(run).c_str(), size, figures,
                                          figures.at("repainted") ? "" : "(list not repainted)")
                                    .c_str());
            std::fflush(stdout);
            for (const auto& [key, value] : figures)
                columns[key].push_back(value);
        }
        sim.Stop();
        if (columns.empty())
            continue;
        Figures medians;
        for (const auto& [key, values] : columns)
            medians[key] = Median(values);
        summary.push_back(FormatRow("med", size, medians, ""));
    }
    std::printf("medians:\n");
    for (const std::string& line : summary)
        std::printf("%s\n", line.c_str());
    return failures ? 1 : 0;
}
