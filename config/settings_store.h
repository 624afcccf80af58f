// CSettingsStore: the few platform operations the HPLC system configuration
// needs (machine-wide settings keys, the main profile file, INI files and a
// file-status query), behind one interface so the configuration logic runs
// unchanged against the Windows registry or an in-memory model in tests.
//
// The calls mirror their Win32 counterparts closely (bounded buffers, data
// lengths in bytes) so that the logic on top handles exactly what the
// platform hands back.
#pragma once

#include "framework/afx_types.h"

// An open settings key. Opaque: a registry key handle on Windows.
using SettingsKey = void*;

// Value types, numbered as the registry numbers them.
enum : DWORD { kValueString = 1, kValueBinary = 3, kValueDword = 4 };

enum class KeyAccess {
    kRead,   // query values only
    kWrite,  // query and set values
};

// The rights of a key, numbered as the registry numbers them.
enum : DWORD {
    kRightQueryValue = 0x0001,
    kRightSetValue = 0x0002,
    kRightCreateSubKey = 0x0004,
    kRightEnumerateSubKeys = 0x0008,
    kRightNotify = 0x0010,
    kRightDelete = 0x00010000,
    kRightReadControl = 0x00020000,
    kRightWriteDac = 0x00040000,
    kRightWriteOwner = 0x00080000,
};
// What a key is opened with, for reading and for writing, and what a create
// asks of the key it makes or opens: no more than the operations use, so
// that a user whom IT granted "Set Value" but not "Full Control" on the
// settings keys can save. Creating a missing key needs the right to create
// sub-keys on its parent, which the platform checks there.
constexpr DWORD kReadRights =
    kRightReadControl | kRightQueryValue | kRightEnumerateSubKeys | kRightNotify;
constexpr DWORD kWriteRights = kRightQueryValue | kRightSetValue;
constexpr DWORD kCreateRights = kWriteRights;
constexpr DWORD RightsFor(KeyAccess access) {
    return access == KeyAccess::kRead ? kReadRights : kWriteRights;
}

enum class FileStatus {
    kAbsent,   // nothing of that name exists
    kPresent,  // a file or a folder of that name exists
    kUnknown,  // the query failed for another reason (for instance no access)
};

class CSettingsStore {
public:
    virtual ~CSettingsStore() = default;

    // Keys live under the machine-wide root. Reading needs only read access,
    // which a user without rights on that root still has; writing, and
    // creating a key, need the rights above. Both return false and leave
    // *pKey untouched on failure.
    virtual bool OpenKey(LPCSTR path, KeyAccess access, SettingsKey* pKey) = 0;
    virtual bool CreateKey(LPCSTR path, SettingsKey* pKey) = 0;
    // Stores cbData bytes as a string value; cbData counts the terminating NUL.
    virtual bool SetStringValue(SettingsKey key, LPCSTR name, LPCSTR data, DWORD cbData) = 0;
    // Copies a value of any type into data (capacity *pcbData bytes) and sets
    // *pcbData to its length and *pType to its type. A value that does not fit
    // fails; the buffer's content is then undefined, as the platform's is.
    virtual bool QueryValue(SettingsKey key, LPCSTR name, DWORD* pType, BYTE* data,
                            DWORD* pcbData) = 0;
    virtual void CloseKey(SettingsKey key) = 0;

    // Reads a value of the main profile file ("win.ini") into buffer, at most
    // size - 1 characters and a NUL; returns the number of characters copied.
    virtual DWORD ReadWinIniText(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                                 DWORD size) = 0;
    // Writes key=value into a section of the INI file at path, creating the
    // file and the section as needed.
    virtual bool WriteIniText(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) = 0;

    virtual FileStatus GetFileStatus(LPCSTR path) = 0;
};

// The store the program uses: the platform's unless a test has put its own in.
// Builds without a registry have no platform store; theirs keeps nothing and
// fails every write, so tests that need settings put their own in.
CSettingsStore& SettingsStore();
void SetSettingsStore(CSettingsStore* pStore);  // null restores the platform's store
