// What a program reports to the event log, as Wine shows it. Wine's
// ReportEventW keeps nothing: it names the event's type and ID in a fixme of
// the advapi channel and prints each insertion string on the eventlog
// channel, on the Unix standard error of the reporting process. A process
// that a Wine program starts shares that program's Unix standard error,
// whatever handle it is given, so the run goes through a Unix script
// (event-trace.sh) that redirects it to a file.
#pragma once

#ifdef _WIN32
#include <string>
#include <vector>

struct ReportedEvent {
    unsigned type = 0;     // EVENTLOG_INFORMATION_TYPE, ..._WARNING_TYPE, ..._ERROR_TYPE
    unsigned long id = 0;  // with its severity bits
    std::vector<std::string> strings;  // UTF-8; Wine shows about 300 characters of each
};

struct EventTrace {
    int exitCode = -1;  // -1: it could not start; 124: it was stopped after a minute
    std::string out;    // its standard output
    std::vector<ReportedEvent> events;
};

// Runs `program` (a Windows path) with `args` under Wine's eventlog channel and
// returns the events it reported, in order. Wine only: on Windows nothing
// reaches the trace.
EventTrace RunWithEventTrace(const std::string& program, const std::vector<std::string>& args);
#endif
