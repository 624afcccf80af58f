// What a program reports to the event log, from Wine's trace of it. Wine's
// ReportEventW keeps nothing: it names the event's type and ID in a fixme of
// the advapi channel and prints each insertion string on the eventlog
// channel, on the Unix standard error of the reporting process. A process
// that a Wine program starts shares that program's Unix standard error,
// whatever handle it is given, so the run goes through event-trace.sh, which
// redirects it to a file.
#pragma once

#ifdef _WIN32
#include <string>
#include <vector>

struct ReportedEvent {
    unsigned type = 0;                 // EVENTLOG_INFORMATION_TYPE etc.
    unsigned long id = 0;              // with its severity bits
    std::vector<std::string> strings;  // UTF-8; Wine shows about 300 characters of each
};

struct EventTrace {
    int exitCode = -1;  // -1: not started; 124: stopped after a minute
    std::vector<ReportedEvent> events;
};

// Runs `program` (a Windows path) with `args` under Wine, the events it
// reported in order.
EventTrace RunWithEventTrace(const std::string& program, const std::vector<std::string>& args);
#endif
