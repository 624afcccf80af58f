#include "app/save_report.h"

#include <cstdio>
#include <new>

#include "app/adapter_config_app.h"

namespace {

constexpr UINT kNothingWritten =
    CAdapterConfigApp::kSaveKeyFailed | CAdapterConfigApp::kSaveDriverIniFailed;

SaveOutcome SaveSystemGuarded(CAdapterConfigApp& app, int n, const CString& host) {
    SaveOutcome outcome;
    outcome.bAttempted = true;
    try {
        app.SaveSystem(n, host, &outcome.nFailed);
    } catch (const std::bad_alloc&) {
        // A save runs out of memory only before its first write.
        outcome.nFailed = kNothingWritten;
        outcome.bOutOfMemory = true;
    }
    return outcome;
}

}  // namespace

const char kSaveNeedsAdministratorNotice[] =
    "The settings were not saved: saving them needs administrator rights.\n\n"
    "Start Pellvane as administrator and save again.";

SaveResult SaveSystemsGuarded(CAdapterConfigApp& app, const CString* const hosts[3],
                              SaveOutcome outcome[3], const std::function<bool()>& beforeWriting) {
    bool bWritable = false;
    try {
        if (hosts[1] && hosts[2])
            bWritable = app.CanWriteSystemKeys({1, 2});
        else if (hosts[1] || hosts[2])
            bWritable = app.CanWriteSystemKeys({hosts[1] ? 1 : 2});
        else
            return SaveResult::kSaved;
    } catch (const std::bad_alloc&) {
        // The check runs out of memory only before it creates a key.
        for (int n = 1; n <= 2; ++n)
            if (hosts[n])
                outcome[n] = SaveOutcome{true, kNothingWritten, true};
        return SaveResult::kIncomplete;
    }
    if (!bWritable)
        return SaveResult::kNeedsAdministrator;
    if (beforeWriting && !beforeWriting())
        return SaveResult::kNotRecordable;
    bool bComplete = true;
    for (int n = 1; n <= 2; ++n) {
        if (!hosts[n])
            continue;
        outcome[n] = SaveSystemGuarded(app, n, *hosts[n]);
        bComplete = bComplete && outcome[n].nFailed == 0;
    }
    return bComplete ? SaveResult::kSaved : SaveResult::kIncomplete;
}

void ComposeIncompleteSaveNotice(const SaveOutcome outcome[3], LPCSTR ini, char* text,
                                 size_t capacity) {
    if (capacity == 0)
        return;
    text[0] = '\0';
    size_t used = 0;
    auto add = [&](const char* format, auto... args) {
        if (used >= capacity)
            return;
        int written = std::snprintf(text + used, capacity - used, format, args...);
        if (written > 0)
            used += static_cast<size_t>(written);
    };
    bool outOfMemory = false;
    add("%s", "The configuration could not be saved completely:");
    for (int n = 1; n <= 2; ++n) {
        if (!outcome[n].bAttempted)
            continue;
        outOfMemory = outOfMemory || outcome[n].bOutOfMemory;
        const char* why = outcome[n].bOutOfMemory ? " (not enough memory)" : "";
        if (outcome[n].nFailed & CAdapterConfigApp::kSaveKeyFailed)
            add("\n- system #%d: the registry settings%s", n, why);
        if ((outcome[n].nFailed & CAdapterConfigApp::kSaveDriverIniFailed) && ini[0])
            add("\n- system #%d: the driver file %s%s", n, ini, why);
    }
    bool anySaved = false;
    for (int n = 1; n <= 2; ++n) {
        if (!outcome[n].bAttempted)
            continue;
        bool keySaved = !(outcome[n].nFailed & CAdapterConfigApp::kSaveKeyFailed);
        bool iniSaved = !(outcome[n].nFailed & CAdapterConfigApp::kSaveDriverIniFailed) && ini[0];
        if ((keySaved || iniSaved) && !anySaved)
            add("%s", "\n\nSaved:");
        anySaved = anySaved || keySaved || iniSaved;
        if (keySaved)
            add("\n- system #%d: the registry settings", n);
        if (iniSaved)
            add("\n- system #%d: the driver file %s", n, ini);
    }
    add("%s", outOfMemory ? "\n\nClose other programs and save again."
                          : "\n\nCheck the access rights and save again.");
}
