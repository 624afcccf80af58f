// No change without its record: a change is made only after the record
// file was opened, and each record goes to the file and to the event log.
#pragma once

#include <string>

#include "record/change_record.h"
#include "record/record_file.h"

class CChangeRecorder {
public:
    // `program`: "Pellvane" or "pellvane-cli", as the records name it.
    explicit CChangeRecorder(const char* program);

    // Opens the record file before `change` (what is about to be changed,
    // for the event of a refusal) is made. False, with GetProblem(), when
    // the change must not be made; the refusal is reported to the event log.
    bool Open(const std::string& change);
    // Stamps `record` with its origin and appends it, then reports it to
    // the event log. False, with GetProblem(), when the file was not written.
    bool Record(ChangeRecord record);

    // "the change cannot be recorded in <file>: <why>".
    const std::string& GetProblem() const { return m_strProblem; }
    // False when the latest record did not reach the event log (the file
    // is the record; the log is its copy for central collection).
    bool WasReported() const { return m_bReported; }

private:
    const char* m_pszProgram;
    CRecordFile m_file;
    std::string m_strProblem;
    bool m_bReported = true;
};
