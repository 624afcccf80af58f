#include "config/settings_store.h"

#ifdef _WIN32
#include "config/registry_settings_store.h"
#else
#include <algorithm>
#include <cstring>
#endif

namespace {

CSettingsStore* g_pStore = nullptr;

#ifndef _WIN32
// Without a registry there is nowhere to keep settings: nothing opens, nothing
// is written, every value is missing (a read gives the caller's default) and
// no file's status is known, so no defaults overwrite a file that may exist.
class CNoSettingsStore : public CSettingsStore {
public:
    bool OpenKey(LPCSTR, KeyAccess, SettingsKey*) override { return false; }
    bool CreateKey(LPCSTR, SettingsKey*) override { return false; }
    bool SetStringValue(SettingsKey, LPCSTR, LPCSTR, DWORD) override { return false; }
    bool QueryValue(SettingsKey, LPCSTR, DWORD*, BYTE*, DWORD*) override { return false; }
    void CloseKey(SettingsKey) override {}
    DWORD ReadWinIniText(LPCSTR, LPCSTR, LPCSTR defaultText, LPSTR buffer, DWORD size) override {
        if (!buffer || size == 0)
            return 0;
        LPCSTR text = defaultText ? defaultText : "";
        DWORD count = static_cast<DWORD>(std::min<size_t>(std::strlen(text), size - 1));
        std::memcpy(buffer, text, count);
        buffer[count] = '\0';
        return count;
    }
    bool WriteIniText(LPCSTR, LPCSTR, LPCSTR, LPCSTR) override { return false; }
    FileStatus GetFileStatus(LPCSTR) override { return FileStatus::kUnknown; }
};
#endif

CSettingsStore& PlatformStore() {
#ifdef _WIN32
    static CRegistrySettingsStore store;
#else
    static CNoSettingsStore store;
#endif
    return store;
}

}  // namespace

CSettingsStore& SettingsStore() {
    return g_pStore ? *g_pStore : PlatformStore();
}

void SetSettingsStore(CSettingsStore* pStore) {
    g_pStore = pStore;
}
