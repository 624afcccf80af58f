#include "record/change_recorder.h"

#include <new>
#include <utility>

#include "record/record_location.h"
#include "record/record_origin.h"
#ifdef _WIN32
#include "record/event_log.h"
#endif

namespace {

// Short enough for the string's own buffer: assigning it needs no memory.
constexpr char kOutOfMemory[] = "out of memory";

}  // namespace

CChangeRecorder::CChangeRecorder(const char* program) : m_pszProgram(program) {}

bool CChangeRecorder::Open(const std::string& change) {
    m_strProblem.clear();
    if (m_file.IsOpen() || m_file.Open())
        return true;
    m_strProblem =
        "the change cannot be recorded in " + RecordFilePath() + ": " + m_file.GetProblem();
#ifdef _WIN32
    ReportRefusedChangeEvent(CurrentOrigin(m_pszProgram), change, m_strProblem);
#else
    (void)change;
#endif
    return false;
}

bool CChangeRecorder::Record(ChangeRecord record) {
    // Called once the change was made: running out of memory here is a
    // record not written, never an exception past the change.
    try {
        m_strProblem.clear();
        record.origin = CurrentOrigin(m_pszProgram);
        const bool written = m_file.Append(FormatRecordLine(record));
        if (!written)
            m_strProblem = "the change could not be recorded: " + m_file.GetProblem();
#ifdef _WIN32
        RegisterMissingEventSource();
        m_bReported = ReportChangeEvent(record);
#endif
        return written;
    } catch (const std::bad_alloc&) {
        m_strProblem = kOutOfMemory;
        return false;
    }
}
