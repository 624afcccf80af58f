// The HPLC system configuration: which adapter serves each HPLC system, kept
// in a settings key per system and in the data system's driver settings file,
// whose instrument driver reads both.
#include <algorithm>
#include <cstring>

#include "app/adapter_config_app.h"
#include "config/settings_store.h"

namespace {

constexpr LPCSTR kSystemKeyPrefix = "Software\\Quorvel\\HPLCSYSTEMS\\SYSTEM-";
constexpr LPCSTR kSubKeys[] = {"DATACONFIG", "DIAGINFO", "UNITCONFIG"};
constexpr DWORD kHostBufferSize = 256;
constexpr DWORD kLocalPathSize = 260;

bool IsSystemNumber(int n) {
    return n == 1 || n == 2;
}

CString SystemKeyPath(int n) {
    CString path;
    path.Format("%s%d", kSystemKeyPrefix, n);
    return path;
}

CString SystemSection(int n) {
    CString section;
    section.Format("SYSTEM-%d", n);
    return section;
}

// The driver reads string values with their terminating NUL counted, so the
// empty string is stored as one byte.
bool WriteString(SettingsKey key, LPCSTR name, LPCSTR text) {
    return SettingsStore().SetStringValue(key, name, text,
                                          static_cast<DWORD>(std::strlen(text) + 1));
}

// HOST as text, whatever type and length the stored value has: never more
// than the buffer, up to the first NUL, and empty when it does not fit.
CString ReadHost(SettingsKey key) {
    BYTE buffer[kHostBufferSize];
    DWORD cbData = sizeof(buffer);
    DWORD type = 0;
    if (!SettingsStore().QueryValue(key, "HOST", &type, buffer, &cbData))
        return CString();
    DWORD length = std::min<DWORD>(cbData, sizeof(buffer));
    const void* nul = std::memchr(buffer, '\0', length);
    if (nul)
        length = static_cast<DWORD>(static_cast<const BYTE*>(nul) - buffer);
    return CString(reinterpret_cast<LPCSTR>(buffer), static_cast<int>(length));
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
    CString strKey = SystemKeyPath(n);
    SettingsKey key = nullptr;
    if (store.OpenKey(strKey, &key)) {
        m_strHost[n] = ReadHost(key);
        store.CloseKey(key);
        return;
    }

    // A missing key is created with the values and sub-keys the driver
    // expects; an existing one is never rewritten here.
    if (store.CreateKey(strKey, &key)) {
        WriteString(key, "IFTYPE", "NONE");
        WriteString(key, "HOST", "");
        WriteString(key, "NAME", "Controller");
        store.CloseKey(key);
    }
    for (LPCSTR name : kSubKeys) {
        CString strSubKey;
        strSubKey.Format("%s\\%s", strKey.GetString(), name);
        SettingsKey subKey = nullptr;
        if (store.CreateKey(strSubKey, &subKey))
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
    CString strKey = SystemKeyPath(n);
    // EnsureSystemKey below resets the host text; a failed save keeps the old one.
    CString strPrevious = m_strHost[n];

    SettingsKey key = nullptr;
    bool bOpen = store.OpenKey(strKey, &key);
    if (!bOpen) {
        // The key has gone since start-up: recreate it with its defaults first.
        EnsureSystemKey(n);
        bOpen = store.OpenKey(strKey, &key);
    }
    bool bKeyWritten = false;
    if (bOpen) {
        bool bType = WriteString(key, "IFTYPE", host.IsEmpty() ? "NONE" : "TessikBox");
        bool bHost = WriteString(key, "HOST", host);
        bKeyWritten = bType && bHost;
        store.CloseKey(key);
    }
    m_strHost[n] = bKeyWritten ? host : strPrevious;

    bool bIniWritten = WriteDriverIniSystem(n, host);

    UINT nFailed = (bKeyWritten ? 0u : kSaveKeyFailed) | (bIniWritten ? 0u : kSaveDriverIniFailed);
    if (pnFailed)
        *pnFailed = nFailed;
    return nFailed == 0;
}

void CAdapterConfigApp::WriteDriverIniDefaults(CString path) {
    if (path.IsEmpty())
        return;
    CSettingsStore& store = SettingsStore();
    for (int n = 1; n <= 2; ++n) {
        CString section = SystemSection(n);
        store.WriteIniText(section, "IFTYPE", "NONE", path);
        store.WriteIniText(section, "HOST", "", path);
        store.WriteIniText(section, "SamplingInterval", "500", path);
    }
}

bool CAdapterConfigApp::WriteDriverIniSystem(int n, CString host) {
    if (m_strDriverIni.IsEmpty())
        return true;
    if (!IsSystemNumber(n))
        return false;
    CSettingsStore& store = SettingsStore();
    CString section = SystemSection(n);
    bool bType = store.WriteIniText(section, "IFTYPE", host.IsEmpty() ? "NONE" : "TessikBox",
                                    m_strDriverIni);
    bool bHost = store.WriteIniText(section, "HOST", host, m_strDriverIni);
    return bType && bHost;
}
