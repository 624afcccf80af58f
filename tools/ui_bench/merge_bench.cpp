// merge_bench: what the adapter table costs as it grows. Upsert finds an
// adapter through the table's suffix index and the window reads the table
// back in one walk, so both should grow in step with the table's size. For
// each size N it measures merging N new adapters into an empty table (a first
// discovery), merging the same N again (every later discovery), and reading
// all N back in one walk with their three texts (the table side of the list
// rebuild). Sizes above the table's bound show the surplus being dropped. No network traffic,
// but the table opens the broadcast channel, so it runs in the private test
// network like the other benchmarks. Usage: merge_bench [--runs R] [--sizes N,N,...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/adapter_table.h"
#include "net/socket_api.h"
#include "tools/bench_common/bench_common.h"

namespace {

using Clock = std::chrono::steady_clock;

// Adapter i as the simulator's --generate makes it: MAC 02:7e:a0 plus i.
AdapterRecord MakeRecord(int i) {
    AdapterRecord record = {};
    record.family = kFamilyIPv4;
    record.address = static_cast<DWORD>(i);
    const BYTE mac[6] = {0x02,
                         0x7e,
                         0xa0,
                         static_cast<BYTE>(i >> 16),
                         static_cast<BYTE>(i >> 8),
                         static_cast<BYTE>(i)};
    std::memcpy(record.hardware, mac, sizeof(mac));
    return record;
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Result {
    double firstMs = 0, againMs = 0, readMs = 0;
    int count = 0;
};

Result RunOnce(const std::vector<AdapterRecord>& records) {
    Result result;
    CAdapterTable table;
    Clock::time_point start = Clock::now();
    for (const AdapterRecord& record : records)
        table.Upsert(record);
    result.firstMs = MsSince(start);

    start = Clock::now();
    for (const AdapterRecord& record : records)
        table.Upsert(record);
    result.againMs = MsSince(start);

    start = Clock::now();
    size_t textBytes = 0;  // keeps the reads from being optimised away
    for (POSITION pos = table.GetHeadPosition(); pos;) {
        if (const auto* record = static_cast<const AdapterRecord*>(table.GetNext(pos))) {
            CString ip, mac, status;
            record->GetIpText(ip);
            record->GetMacText(mac);
            record->GetStatusText(status);
            textBytes += static_cast<size_t>(ip.GetLength() + mac.GetLength() + status.GetLength());
        }
    }
    result.readMs = MsSince(start);
    result.count = textBytes ? table.GetCount() : 0;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions options{5, {1000, 5000}};
    if (int code = ParseBenchOptions("merge_bench", argc, argv, 100000, options))
        return code;
    if (!RequirePrivateNetwork("merge_bench", "the adapter table opens the broadcast channel"))
        return 3;
    const int runs = options.runs;
    const std::vector<int>& sizes = options.sizes;

    StartSocketLibrary();
#ifdef _WIN32
    const char* platform = "windows";
#else
    const char* platform = "native";
#endif
    std::printf("merge_bench (%s): medians of %d run(s)\n", platform, runs);
    std::printf("%7s %7s %14s %14s %16s %14s\n", "N", "listed", "first merge ms", "merge again ms",
                "again us/record", "read back ms");
    int failures = 0;
    for (int size : sizes) {
        std::vector<AdapterRecord> records;
        for (int i = 1; i <= size; ++i)
            records.push_back(MakeRecord(i));
        std::vector<double> first, again, read;
        for (int run = 0; run < runs; ++run) {
            Result r = RunOnce(records);
            if (r.count != std::min(size, CAdapterTable::kMostAdapters)) {
                std::fprintf(stderr, "merge_bench: N=%d: the table holds %d adapters\n", size,
                             r.count);
                ++failures;
                continue;
            }
            first.push_back(r.firstMs);
            again.push_back(r.againMs);
            read.push_back(r.readMs);
        }
        if (first.empty())
            continue;
        std::printf("%7d %7d %14.2f %14.2f %16.3f %14.2f\n", size,
                    std::min(size, CAdapterTable::kMostAdapters), Median(first), Median(again),
                    Median(again) * 1000.0 / size, Median(read));
    }
    StopSocketLibrary();
    return failures ? 1 : 0;
}
