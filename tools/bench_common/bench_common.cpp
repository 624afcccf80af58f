#include "tools/bench_common/bench_common.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
// After windows.h: K32GetProcessMemoryInfo lives in kernel32, no psapi.dll.
#include <psapi.h>
#else
#include <fstream>
#include <unistd.h>

#include <sys/resource.h>
#endif

bool ParseSizeList(const std::string& list, int maxValue, std::vector<int>& sizes) {
    sizes.clear();
    size_t start = 0;
    while (true) {
        size_t end = list.find(',', start);
        std::string item = list.substr(start, end == std::string::npos ? end : end - start);
        char* rest = nullptr;
        long value = std::strtol(item.c_str(), &rest, 10);
        if (item.empty() || *rest != '\0' || value < 1 || value > maxValue)
            return false;
        sizes.push_back(static_cast<int>(value));
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

int ParseBenchOptions(const char* name, int argc, char** argv, int maxSize, BenchOptions& options) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            options.runs = std::atoi(argv[++i]);
            if (options.runs < 1 || options.runs > 50) {
                std::fprintf(stderr, "%s: --runs takes 1 to 50\n", name);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
            if (!ParseSizeList(argv[++i], maxSize, options.sizes)) {
                std::fprintf(stderr, "%s: --sizes takes numbers 1-%d, e.g. 10,100\n", name,
                             maxSize);
                return 2;
            }
        } else {
            std::fprintf(stderr, "usage: %s [--runs R] [--sizes N,N,...]\n", name);
            return 2;
        }
    }
    return 0;
}

bool RequirePrivateNetwork(const char* name, const char* why) {
    const char* inside = std::getenv("PELLVANE_NETNS");
    if (inside && std::strcmp(inside, "1") == 0)
        return true;
    std::fprintf(stderr,
                 "%s: refusing to run: %s; run it inside the private test network "
                 "(scripts/netns-run.sh)\n",
                 name, why);
    return false;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

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

#ifdef _WIN32
namespace {
PROCESS_MEMORY_COUNTERS MemoryCounters() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        counters = PROCESS_MEMORY_COUNTERS{};
    return counters;
}
}  // namespace

double ProcessMemoryMiB() {
    return static_cast<double>(MemoryCounters().WorkingSetSize) / (1024.0 * 1024.0);
}
double ProcessPeakMemoryMiB() {
    return static_cast<double>(MemoryCounters().PeakWorkingSetSize) / (1024.0 * 1024.0);
}
#else
double ProcessMemoryMiB() {
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    if (!(statm >> pages >> resident))
        return 0;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}
double ProcessPeakMemoryMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
}
#endif
