#include "cli/messages.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "framework/text_encoding.h"
#include "record/change_recorder.h"
#include "record/record_location.h"

void UseBinaryStreams() {
#ifdef _WIN32
    // Text mode would turn every LF into CRLF, and CSV's CRLF into CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void PrintError(const std::string& text) {
    std::fprintf(stderr, "pellvane-cli: %s\n", text.c_str());
    std::fflush(stderr);
}

bool PrintResult(const std::string& text) {
    bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written) {
        PrintError("the result could not be written to standard output");
        return false;
    }
    return true;
}

void WarnIfNotReported(const CChangeRecorder& recorder) {
    if (!recorder.WasReported())
        PrintError("warning: the change is recorded in " + Utf8ToAnsi(RecordFilePath()) +
                   ", but it could not be reported to the event log");
}
