// A save with its record: each HPLC system whose stored assignment the save
// changes gets one record, and nothing is written unless the record file
// could be opened first. The window and the console program share it.
#pragma once

#include <optional>
#include <string>

#include "app/save_report.h"

class CAdapterConfigApp;
class CChangeRecorder;

struct RecordedSave {
    SaveResult result = SaveResult::kSaved;
    SaveOutcome outcome[3] = {};
    // A system was saved, but its record could not be written.
    bool bRecordFailed = false;
    // Why the record could not be opened (kNotRecordable) or written.
    std::string problem;
};

// Saves each system n whose hosts[n] is given, as SaveSystemsGuarded does.
// A system that keeps its type and host gets no record; one of which
// either store was written gets one, after it was saved.
RecordedSave SaveSystemsRecorded(CAdapterConfigApp& app, const CString* const hosts[3],
                                 CChangeRecorder& recorder,
                                 const std::optional<std::string>& reason = std::nullopt);
