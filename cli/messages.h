// Messages go to standard error, results to standard output, so that a
// script reading the output never mistakes one for the other.
#pragma once

#include <string>

// Both streams write exactly the bytes given, on every platform: CSV lines
// end in CRLF and every other line in LF, in a pipe and in a file alike.
void UseBinaryStreams();

// One line "pellvane-cli: <text>" on standard error.
void PrintError(const std::string& text);

// Writes `text` to standard output and flushes it. False (with a message)
// when it could not be written, so that a lost result never passes as done.
bool PrintResult(const std::string& text);

class CChangeRecorder;
// After a change was recorded: one line on standard error when its record
// did not reach the event log.
void WarnIfNotReported(const CChangeRecorder& recorder);
