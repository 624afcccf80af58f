// CRegistrySettingsStore: the settings store on Windows: the registry under
// HKEY_LOCAL_MACHINE, win.ini and INI files through the profile functions.
#pragma once

#ifdef _WIN32

#include "config/settings_store.h"

class CRegistrySettingsStore : public CSettingsStore {
public:
    bool OpenKey(LPCSTR path, KeyAccess access, SettingsKey* pKey) override;
    bool CreateKey(LPCSTR path, SettingsKey* pKey) override;
    bool SetStringValue(SettingsKey key, LPCSTR name, LPCSTR data, DWORD cbData) override;
    bool QueryValue(SettingsKey key, LPCSTR name, DWORD* pType, BYTE* data,
                    DWORD* pcbData) override;
    void CloseKey(SettingsKey key) override;
    DWORD ReadWinIniText(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                         DWORD size) override;
    bool WriteIniText(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) override;
    FileStatus GetFileStatus(LPCSTR path) override;
};

#endif
