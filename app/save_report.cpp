#include "app/save_report.h"

#include <cstdio>
#include <new>

#include "app/adapter_config_app.h"

SaveOutcome SaveSystemGuarded(CAdapterConfigApp& app, int n, const CString& host) {
    SaveOutcome outcome;
    outcome.bAttempted = true;
    try {
        app.SaveSystem(n, host, &outcome.nFailed);
    } catch (const std::bad_alloc&) {
        // A save runs out of memory only before its first write.
        outcome.nFailed =
            CAdapterConfigApp::kSaveKeyFailed | CAdapterConfigApp::kSaveDriverIniFailed;
        outcome.bOutOfMemory = true;
    }
    return outcome;
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
