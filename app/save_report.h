// Saving the HPLC systems as "Save && Exit" does, and the notices for a save
// that was refused or did not reach every store. The window and the console
// program share them, so that they save and report alike.
#pragma once

#include <cstddef>
#include <functional>

#include "framework/cstring.h"

class CAdapterConfigApp;

struct SaveOutcome {
    bool bAttempted = false;  // this system was saved (or tried)
    UINT nFailed = 0;         // CAdapterConfigApp::SaveFailure bits
    bool bOutOfMemory = false;
};

enum class SaveResult {
    kSaved,               // every store of every system was written
    kIncomplete,          // something was not written: outcome[] says what
    kNeedsAdministrator,  // a system key cannot be written: nothing was
    kNotRecordable,       // beforeWriting refused: nothing was written
};

// Saves each system n whose hosts[n] is given (not null), system 1 first,
// with SaveSystem. Before anything is written, every one of their keys must
// be writable, so that a user without the rights never changes the driver
// file alone. Running out of memory (which stops a save before its first
// write) counts as nothing written for that system. `beforeWriting`, when
// given, runs once the keys are known to be writable and before the first
// write; when it returns false nothing is written.
SaveResult SaveSystemsGuarded(CAdapterConfigApp& app, const CString* const hosts[3],
                              SaveOutcome outcome[3],
                              const std::function<bool()>& beforeWriting = nullptr);

// The notice for kNeedsAdministrator.
extern const char kSaveNeedsAdministratorNotice[];

// "The configuration could not be saved completely:", what was not saved,
// then "Saved:" and what was, then what to do; only the systems that were
// attempted are named. Composed in `text` without the heap, which may be
// what failed. `ini` is the driver file's path ("" when none is known).
void ComposeIncompleteSaveNotice(const SaveOutcome outcome[3], LPCSTR ini, char* text,
                                 size_t capacity);
