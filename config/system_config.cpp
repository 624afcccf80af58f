// The HPLC system configuration: which adapter serves each HPLC system, kept
// in a settings key per system and in the data system's driver settings file,
// whose instrument driver reads both.
#include <algorithm>
#include <cstring>
#include <utility>

#include "app/adapter_config_app.h"
#include "config/settings_store.h"

namespace {

// Every name is fixed text, so that nothing needs memory once writing has
// begun: a save or a start-up that runs out of memory stops before its first
// write, never halfway through a key or a section.
#define PV_SYSTEM_KEY(n) "Software\\Quorvel\\HPLCSYSTEMS\\SYSTEM-" #n
constexpr LPCSTR kSystemKeys[] = {nullptr, PV_SYSTEM_KEY(1), PV_SYSTEM_KEY(2)};
constexpr LPCSTR kSubKeys[][3] = {{},
                                  {PV_SYSTEM_KEY(1) "\\DATACONFIG", PV_SYSTEM_KEY(1) "\\DIAGINFO",
                                   PV_SYSTEM_KEY(1) "\\UNITCONFIG"},
                                  {PV_SYSTEM_KEY(2) "\\DATACONFIG", PV_SYSTEM_KEY(2) "\\DIAGINFO",
                                   PV_SYSTEM_KEY(2) "\\UNITCONFIG"}};
#undef PV_SYSTEM_KEY
constexpr LPCSTR kSystemSections[] = {nullptr, "SYSTEM-1", "SYSTEM-2"};
constexpr DWORD kHostBufferSize = CAdapterConfigApp::kMaxHostLength + 1;
constexpr DWORD kLocalPathSize = 260;

bool IsSystemNumber(int n) {
    return n == 1 || n == 2;
}

// The driver reads string values with their terminating NUL counted, so the
// empty string is stored as one byte.
bool WriteString(SettingsKey key, LPCSTR name, LPCSTR text) {
    return SettingsStore().SetStringValue(key, name, text,
                                          static_cast<DWORD>(std::strlen(text) + 1));
}

// A value as text, whatever type and length it has: never more than the
// buffer, up to the first NUL; empty when it does not fit.
CString ReadText(SettingsKey key, LPCSTR name) {
    BYTE buffer[kHostBufferSize];
    DWORD cbData = sizeof(buffer);
    DWORD type = 0;
    if (!SettingsStore().QueryValue(key, name, &type, buffer, &cbData))
        return CString();
    DWORD length = std::min<DWORD>(cbData, sizeof(buffer));
    const void* nul = std::memchr(buffer, '\0', length);
    if (nul)
        length = static_cast<DWORD>(static_cast<const BYTE*>(nul) - buffer);
    return CString(reinterpret_cast<LPCSTR>(buffer), static_cast<int>(length));
}

// HOST as text, whatever type and length the stored value has: never more
// than the buffer, up to the first NUL, and empty when it does not fit. A
// text that fills the buffer without a NUL fits, but saved unchanged (with
// its NUL) it would no longer: it is not taken either, so that what is
// loaded can always be saved and loaded again.
CString ReadHost(SettingsKey key) {
    CString host = ReadText(key, "HOST");
    if (host.GetLength() > CAdapterConfigApp::kMaxHostLength)
        return CString();
    return host;
}

// Opens system n's key for writing. A key that has gone since start-up is
// recreated with its defaults first; that resets the host text, which only a
// written key changes.
bool OpenSystemKeyForWriting(CAdapterConfigApp& app, int n, SettingsKey* pKey) {
    CSettingsStore& store = SettingsStore();
    if (store.OpenKey(kSystemKeys[n], KeyAccess::kWrite, pKey))
        return true;
    CString strPrevious = app.m_strHost[n];
    app.EnsureSystemKey(n);
    app.m_strHost[n] = std::move(strPrevious);
    return store.OpenKey(kSystemKeys[n], KeyAccess::kWrite, pKey);
}

// True when system n's key exists and can be opened for reading.
bool SystemKeyExists(int n) {
    SettingsKey key = nullptr;
    if (!SettingsStore().OpenKey(kSystemKeys[n], KeyAccess::kRead, &key))
        return false;
    SettingsStore().CloseKey(key);
    return true;
}

}  // namespace

void CAdapterConfigApp::LoadConfiguration() {
    EnsureSystemKey(1);
    EnsureSystemKey(2);

    char folder[kLocalPathSize] = {};
    SettingsStore().ReadWinIniText("Ploven", "LocalPath", "", folder, sizeof(folder));
    folder[sizeof(folder) - 1] = '\0';
    if (folder[0] == '\0') {
        m_strDriverIni.Empty();
        return;
    }
    m_strDriverIni.Format("%s\\qzdrv204.ini", folder);
    // Defaults go only into a file known to be missing: writing them into an
    // existing one would reset both systems' assignments. A folder of that
    // name counts as present.
    if (SettingsStore().GetFileStatus(m_strDriverIni) == FileStatus::kAbsent)
        WriteDriverIniDefaults(m_strDriverIni);
}

void CAdapterConfigApp::EnsureSystemKey(int n) {
    if (!IsSystemNumber(n))
        return;
    m_strHost[n].Empty();

    CSettingsStore& store = SettingsStore();
    SettingsKey key = nullptr;
    if (store.OpenKey(kSystemKeys[n], KeyAccess::kRead, &key)) {
        CString strHost;
        try {
            strHost = ReadHost(key);
        } catch (...) {
            store.CloseKey(key);
            throw;
        }
        store.CloseKey(key);
        m_strHost[n] = std::move(strHost);
        return;
    }

    // A missing key is created with the values and sub-keys the driver
    // expects; an existing one is never rewritten here.
    if (store.CreateKey(kSystemKeys[n], &key)) {
        WriteString(key, "IFTYPE", "NONE");
        WriteString(key, "HOST", "");
        WriteString(key, "NAME", "Controller");
        store.CloseKey(key);
    }
    for (LPCSTR path : kSubKeys[n]) {
        SettingsKey subKey = nullptr;
        if (store.CreateKey(path, &subKey))
            store.CloseKey(subKey);
    }
}

bool CAdapterConfigApp::SaveSystem(int n, CString host, UINT* pnFailed) {
    if (!IsSystemNumber(n)) {
        if (pnFailed)
            *pnFailed = kSaveKeyFailed | kSaveDriverIniFailed;
        return false;
    }
    CSettingsStore& store = SettingsStore();

    SettingsKey key = nullptr;
    bool bKeyWritten = false;
    if (OpenSystemKeyForWriting(*this, n, &key)) {
        bool bType = WriteString(key, "IFTYPE", host.IsEmpty() ? "NONE" : "TessikBox");
        bool bHost = WriteString(key, "HOST", host);
        bKeyWritten = bType && bHost;
        store.CloseKey(key);
    }

    bool bIniWritten = WriteDriverIniSystem(n, host);
    if (bKeyWritten)
        m_strHost[n] = std::move(host);

    UINT nFailed = (bKeyWritten ? 0u : kSaveKeyFailed) | (bIniWritten ? 0u : kSaveDriverIniFailed);
    if (pnFailed)
        *pnFailed = nFailed;
    return nFailed == 0;
}

void CAdapterConfigApp::ReadStoredAssignment(int n, CString& type, CString& host) {
    type = "NONE";
    host.Empty();
    SettingsKey key = nullptr;
    if (!IsSystemNumber(n) || !SettingsStore().OpenKey(kSystemKeys[n], KeyAccess::kRead, &key))
        return;
    try {
        type = ReadText(key, "IFTYPE");
        host = ReadText(key, "HOST");
    } catch (...) {
        SettingsStore().CloseKey(key);
        throw;
    }
    SettingsStore().CloseKey(key);
}

bool CAdapterConfigApp::CanWriteSystemKeys(std::initializer_list<int> systems) {
    for (int n : systems)
        if (!IsSystemNumber(n))
            return false;
    // Existing keys first, so that one that is only readable stops the save
    // before a missing one is created.
    CSettingsStore& store = SettingsStore();
    for (int n : systems) {
        SettingsKey key = nullptr;
        if (store.OpenKey(kSystemKeys[n], KeyAccess::kWrite, &key))
            store.CloseKey(key);
        else if (SystemKeyExists(n))
            return false;
    }
    for (int n : systems) {
        SettingsKey key = nullptr;
        if (!OpenSystemKeyForWriting(*this, n, &key))
            return false;
        store.CloseKey(key);
    }
    return true;
}

void CAdapterConfigApp::WriteDriverIniDefaults(const CString& path) {
    if (path.IsEmpty())
        return;
    CSettingsStore& store = SettingsStore();
    for (int n = 1; n <= 2; ++n) {
        store.WriteIniText(kSystemSections[n], "IFTYPE", "NONE", path);
        store.WriteIniText(kSystemSections[n], "HOST", "", path);
        store.WriteIniText(kSystemSections[n], "SamplingInterval", "500", path);
    }
}

bool CAdapterConfigApp::WriteDriverIniSystem(int n, const CString& host) {
    if (m_strDriverIni.IsEmpty())
        return true;
    if (!IsSystemNumber(n))
        return false;
    CSettingsStore& store = SettingsStore();
    bool bType = store.WriteIniText(kSystemSections[n], "IFTYPE",
                                    host.IsEmpty() ? "NONE" : "TessikBox", m_strDriverIni);
    bool bHost = store.WriteIniText(kSystemSections[n], "HOST", host, m_strDriverIni);
    return bType && bHost;
}
