// ui_bench: how the main window copes with many adapters. For each size N it
// starts the adapter simulator with N generated adapters, then runs Pellvane
// (its real start-up, in a fresh child process of this program, watched by
// the UI probe) several times: start to window shown, one "Update" from click
// to painted rows, the share of that spent rebuilding the list after the
// exchange, rows listed / N and CPU time. Prints every run and the medians.
// Windows only; runs only inside the private test network under a display.
// Usage: ui_bench [--runs R] [--sizes N,N,...]
#include <cstdio>
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
int RunChild(const char* outPath) {
    CAdapterConfigApp app;
    ProbeReport report;
    std::string error;
    bool ok = RunProbedSession(ProbeOptions{}, report, error);
    std::ofstream out(outPath);
    if (!ok || report.updates.empty()) {
        out << "error " << (error.empty() ? "no update measured" : error) << "\n";
        return 1;
    }
    const ProbeUpdate& update = report.updates.front();
    out << "start_ms " << report.startToShownMs << "\n"
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
bool RunChildProcess(Figures& figures, std::string& error) {
    char self[MAX_PATH] = {};
    char tempDir[MAX_PATH] = {};
    char outPath[MAX_PATH] = {};
    if (!GetModuleFileNameA(nullptr, self, MAX_PATH) || !GetTempPathA(MAX_PATH, tempDir) ||
        !GetTempFileNameA(tempDir, "pvu", 0, outPath)) {
        error = "no temporary file";
        return false;
    }
    std::string commandLine = std::string("\"") + self + "\" --child \"" + outPath + "\"";
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
    else if (figures.size() < 9)
        error = "the child run reported nothing";
    return error.empty();
}

void PrintRow(const char* label, int size, const Figures& f) {
    std::printf("%6d %4s %9.0f %7.0f/%-5d %9.0f %10.0f %10.1f %7.0f/%-5d %8.0f %s\n", size, label,
                f.at("start_ms"), f.at("start_listed"), size, f.at("update_ms"),
                f.at("exchange_ms"), f.at("rebuild_ms"), f.at("listed"), size, f.at("cpu_ms"),
                f.at("repainted") ? "" : "(list not repainted)");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(argv[2]);

    BenchOptions options{5, {10, 100, 1000}};
    if (int code = ParseBenchOptions("ui_bench", argc, argv, 5000, options))
        return code;
    if (!RequirePrivateNetwork("ui_bench", "the program broadcasts on UDP port 9029"))
        return 3;
    const int runs = options.runs;
    const std::vector<int>& sizes = options.sizes;

    std::printf(
        "ui_bench: Pellvane's start-up and one \"Update\" per run, %d run(s) per size "
        "(after one warm-up run)\n",
        runs);
    std::printf("%6s %4s %9s %13s %9s %10s %10s %13s %8s\n", "N", "run", "start ms", "at start",
                "update ms", "exchange", "rebuild ms", "listed/N", "CPU ms");
    int failures = 0;
    bool warmedUp = false;
    std::vector<std::string> summary;
    for (int size : sizes) {
        SimulatorProcess sim;
        if (!sim.Start({"--generate", std::to_string(size), "--lifetime",
                        std::to_string(60 + 30 * (runs + 1))})) {
            std::fprintf(stderr, "ui_bench: %s\n", sim.GetLastError().c_str());
            ++failures;
            continue;
        }
        std::map<std::string, std::vector<double>> columns;
        for (int run = warmedUp ? 1 : 0; run <= runs; ++run) {
            Figures figures;
            std::string error;
            if (!RunChildProcess(figures, error)) {
                std::fprintf(stderr, "ui_bench: N=%d run %d: %s\n", size, run, error.c_str());
                ++failures;
                continue;
            }
            if (run == 0) {  // the first program start in a fresh Wine server is slow
                warmedUp = true;
                continue;
            }
            PrintRow(std::to_string(run).c_str(), size, figures);
            for (const auto& [key, value] : figures)
                columns[key].push_back(value);
        }
        sim.Stop();
        if (columns.empty())
            continue;
        Figures medians;
        for (const auto& [key, values] : columns)
            medians[key] = Median(values);
        char line[200];
        std::snprintf(line, sizeof(line),
                      "%6d %4s %9.0f %7.0f/%-5d %9.0f %10.0f %10.1f %7.0f/%-5d %8.0f", size, "med",
                      medians["start_ms"], medians["start_listed"], size, medians["update_ms"],
                      medians["exchange_ms"], medians["rebuild_ms"], medians["listed"], size,
                      medians["cpu_ms"]);
        summary.push_back(line);
    }
    std::printf("medians:\n");
    for (const std::string& line : summary)
        std::printf("%s\n", line.c_str());
    return failures ? 1 : 0;
}
