// The record file's text, read while another program may be appending to it
// or replacing it: the file is opened shared for reading, writing and
// deletion, and read once to its current end.
#pragma once

#include <string>

struct RecordFileText {
    enum class Status { kRead, kMissing, kFailed };
    Status status = Status::kFailed;
    std::string text;   // kRead: the whole file
    std::string error;  // kFailed: why, in the system's words (UTF-8)
};

// `path` in the platform's form, UTF-8. kMissing only when the file does not
// exist; a folder where it was expected, missing rights or a read error are
// kFailed.
RecordFileText ReadRecordFile(const std::string& path);
