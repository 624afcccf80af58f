#include "tests/support/event_trace.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "framework/text_encoding.h"
#include "tests/support/process_text.h"

#ifndef PELLVANE_EVENT_TRACE_SCRIPT
#error "PELLVANE_EVENT_TRACE_SCRIPT must name tests/support/event-trace.sh"
#endif

namespace fs = std::filesystem;

namespace {

// Wine's L"..." rendering: \n, \r, \t, \", \\ and \XXXX for any other
// character outside printable ASCII.
std::string Unescape(const std::string& shown) {
    std::wstring text;
    for (size_t i = 0; i < shown.size(); ++i) {
        const char c = shown[i];
        const char next = i + 1 < shown.size() ? shown[i + 1] : '\0';
        if (c != '\\' || !next) {
            text += static_cast<wchar_t>(c);
        } else if (next == 'n' || next == 'r' || next == 't' || next == '"' || next == '\\') {
            text += next == 'n' ? L'\n' : next == 'r' ? L'\r' : next == 't' ? L'\t' : next;
            ++i;
        } else {
            text += static_cast<wchar_t>(std::stoul(shown.substr(i + 1, 4), nullptr, 16));
            i += 4;
        }
    }
    return WideToUtf8(text);
}

// 0104:fixme:advapi:ReportEventW (CAFE4242,0x0004,0x0000,0x400003e8,...): stub
// 0104:trace:eventlog:ReportEventW L"an insertion string"
std::vector<ReportedEvent> ParseTrace(std::ifstream& trace) {
    std::vector<ReportedEvent> events;
    for (std::string line; std::getline(trace, line);) {
        const size_t call = line.find(":ReportEventW ");
        if (call == std::string::npos)
            continue;
        const std::string rest = line.substr(call + 14);
        ReportedEvent event;
        if (line.find(":advapi:") != std::string::npos &&
            std::sscanf(rest.c_str(), "(%*x,%x,%*x,%lx", &event.type, &event.id) == 2)
            events.push_back(event);
        else if (rest.rfind("L\"", 0) == 0 && !events.empty())
            events.back().strings.push_back(Unescape(rest.substr(2, rest.rfind('"') - 2)));
    }
    return events;
}

}  // namespace

EventTrace RunWithEventTrace(const std::string& program, const std::vector<std::string>& args) {
    static int s_count = 0;  // in a folder both sides can name
    const fs::path dir = "Z:\\tmp\\pv-event-trace-" + std::to_string(CurrentProcessId()) + "-" +
                         std::to_string(++s_count);
    const std::string script = PlatformPath(PELLVANE_EVENT_TRACE_SCRIPT);
    std::string commandLine = QuoteArgument(script) + ' ' + QuoteArgument(UnixPath(dir.string())) +
                              ' ' + QuoteArgument(program);
    for (const std::string& arg : args)
        commandLine += ' ' + QuoteArgument(arg);
    EventTrace trace;
    std::error_code ec;
    fs::remove_all(dir, ec);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    struct {  // Wine 8 writes past a 32-bit record when it starts a Unix script
        PROCESS_INFORMATION record;
        BYTE spare[64];
    } started{};
    if (fs::create_directories(dir, ec) && CreateProcessRetried([&] {
            return ::CreateProcessA(script.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &started.record);
        })) {
        for (HANDLE handle : {started.record.hThread, started.record.hProcess})
            if (handle)
                ::CloseHandle(handle);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (!fs::exists(dir / "status", ec) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream(dir / "status") >> trace.exitCode;
        std::ifstream file(dir / "trace");
        trace.events = ParseTrace(file);
    }
    fs::remove_all(dir, ec);
    return trace;
}
