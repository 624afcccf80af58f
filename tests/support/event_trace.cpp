#include "tests/support/event_trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "framework/text_encoding.h"
#include "tests/support/process_text.h"

#ifndef PELLVANE_EVENT_TRACE_SCRIPT
#error "PELLVANE_EVENT_TRACE_SCRIPT must name tests/support/event-trace.sh"
#endif

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text of Wine's L"..." rendering of a string: \n, \r, \t, \", \\ and
// \XXXX for any other character outside printable ASCII.
std::string Unescape(const std::string& shown) {
    std::wstring text;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != '\\' || i + 1 == shown.size()) {
            text += static_cast<wchar_t>(static_cast<unsigned char>(shown[i]));
            continue;
        }
        const char next = shown[++i];
        if (next == 'n' || next == 'r' || next == 't')
            text += next == 'n' ? L'\n' : next == 'r' ? L'\r' : L'\t';
        else if (next == '"' || next == '\\')
            text += static_cast<wchar_t>(next);
        else if (i + 4 <= shown.size()) {
            text += static_cast<wchar_t>(std::strtoul(shown.substr(i, 4).c_str(), nullptr, 16));
            i += 3;
        }
    }
    return WideToUtf8(text);
}

// Lines such as
//   0104:fixme:advapi:ReportEventW (CAFE4242,0x0004,0x0000,0x400003e8,...): stub
//   0104:trace:eventlog:ReportEventW L"first string"
std::vector<ReportedEvent> ParseTrace(const std::string& trace) {
    std::vector<ReportedEvent> events;
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t call = line.find(":ReportEventW ");
        if (call == std::string::npos)
            continue;
        const std::string rest = line.substr(call + 14);
        ReportedEvent event;
        if (line.find(":advapi:") != std::string::npos && rest.find(',') != std::string::npos &&
            std::sscanf(rest.c_str() + rest.find(','), ",%x,%*x,%lx", &event.type, &event.id) == 2)
            events.push_back(event);
        else if (line.find(":eventlog:") != std::string::npos && rest.rfind("L\"", 0) == 0 &&
                 !events.empty())
            events.back().strings.push_back(Unescape(rest.substr(2, rest.rfind('"') - 2)));
    }
    return events;
}

}  // namespace

EventTrace RunWithEventTrace(const std::string& program, const std::vector<std::string>& args) {
    // A folder both sides can name.
    static int s_count = 0;
    const fs::path dir = "Z:\\tmp\\pv-event-trace-" + std::to_string(CurrentProcessId()) + "-" +
                         std::to_string(++s_count);
    EventTrace trace;
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (!fs::create_directories(dir, ec))
        return trace;
    const std::string script = PlatformPath(PELLVANE_EVENT_TRACE_SCRIPT);
    std::string commandLine = QuoteArgument(script) + ' ' + QuoteArgument(UnixPath(dir.string())) +
                              ' ' + QuoteArgument(program);
    for (const std::string& arg : args)
        commandLine += ' ' + QuoteArgument(arg);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    // Room past the record: Wine 8 writes more than a 32-bit record's size
    // when a 32-bit program starts a Unix script.
    struct {
        PROCESS_INFORMATION record;
        BYTE spare[64];
    } started{};
    if (CreateProcessRetried([&] {
            return ::CreateProcessA(script.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &started.record);
        })) {
        if (started.record.hThread)
            ::CloseHandle(started.record.hThread);
        if (started.record.hProcess)
            ::CloseHandle(started.record.hProcess);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (!fs::exists(dir / "status", ec) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string status = Slurp(dir / "status");
        if (!status.empty())
            trace.exitCode = std::atoi(status.c_str());
        trace.out = Slurp(dir / "out");
        trace.events = ParseTrace(Slurp(dir / "trace"));
    }
    fs::remove_all(dir, ec);
    return trace;
}
