#include "app/recorded_save.h"

#include "app/adapter_config_app.h"
#include "framework/text_encoding.h"
#include "record/change_recorder.h"

namespace {

// "system #1: NONE \"\" -> TessikBox 10.231.0.40", for the event of a
// refused save.
std::string DescribeChange(const AssignmentChange& change) {
    return "system #" + std::to_string(change.system) + ": " + change.oldType + " \"" +
           change.oldHost + "\" -> " + change.newType + " \"" + change.newHost + "\"";
}

}  // namespace

RecordedSave SaveSystemsRecorded(CAdapterConfigApp& app, const CString* const hosts[3],
                                 CChangeRecorder& recorder,
                                 const std::optional<std::string>& reason) {
    RecordedSave save;
    AssignmentChange changes[3];
    bool changed[3] = {};
    std::string what;
    for (int n = 1; n <= 2; ++n) {
        if (!hosts[n])
            continue;
        CString type, host;
        app.ReadStoredAssignment(n, type, host);
        AssignmentChange& change = changes[n];
        change.system = n;
        change.oldType = AnsiToUtf8(type.GetString());
        change.oldHost = AnsiToUtf8(host.GetString());
        change.newHost = AnsiToUtf8(hosts[n]->GetString());
        change.newType = AssignmentType(change.newHost);
        change.driverFile = AnsiToUtf8(app.m_strDriverIni.GetString());
        changed[n] = change.oldType != change.newType || change.oldHost != change.newHost;
        if (changed[n])
            what += (what.empty() ? "the assignment of " : " and ") + DescribeChange(change);
    }
    auto openRecord = [&] {
        if (what.empty() || recorder.Open(what))
            return true;
        save.problem = recorder.GetProblem();
        return false;
    };
    save.result = SaveSystemsGuarded(app, hosts, save.outcome, openRecord);
    if (save.result != SaveResult::kSaved && save.result != SaveResult::kIncomplete)
        return save;
    constexpr UINT kNothingWritten =
        CAdapterConfigApp::kSaveKeyFailed | CAdapterConfigApp::kSaveDriverIniFailed;
    for (int n = 1; n <= 2; ++n) {
        if (!changed[n] || (save.outcome[n].nFailed & kNothingWritten) == kNothingWritten)
            continue;
        ChangeRecord record;
        record.action = ChangeRecord::Action::kAssign;
        record.assignment = changes[n];
        record.reason = reason;
        if (!recorder.Record(record) && !save.bRecordFailed) {
            save.bRecordFailed = true;
            save.problem = recorder.GetProblem();
        }
    }
    return save;
}
