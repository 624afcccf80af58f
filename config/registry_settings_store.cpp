#include "config/registry_settings_store.h"

#ifdef _WIN32

namespace {

// The data system's instrument driver is a 32-bit program and reads the
// 32-bit view of the registry; this 64-bit program must write that view too,
// sub-keys included, or the driver would never see the settings. Reading asks
// for no more than reading: a standard user may read the machine-wide keys
// but is refused full access to them, and a save asks only what it uses.
constexpr REGSAM kView = KEY_WOW64_32KEY;
static_assert(kReadRights == KEY_READ);
static_assert(kWriteRights == (KEY_QUERY_VALUE | KEY_SET_VALUE));
static_assert(kRightCreateSubKey == KEY_CREATE_SUB_KEY && kRightDelete == DELETE &&
              kRightWriteDac == WRITE_DAC && kRightWriteOwner == WRITE_OWNER);

HKEY ToHkey(SettingsKey key) {
    return static_cast<HKEY>(key);
}

}  // namespace

static_assert(kValueString == REG_SZ && kValueBinary == REG_BINARY && kValueDword == REG_DWORD);

bool CRegistrySettingsStore::OpenKey(LPCSTR path, KeyAccess access, SettingsKey* pKey) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, RightsFor(access) | kView, &hKey) !=
        ERROR_SUCCESS)
        return false;
    *pKey = hKey;
    return true;
}

bool CRegistrySettingsStore::CreateKey(LPCSTR path, SettingsKey* pKey) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        kCreateRights | kView, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    *pKey = hKey;
    return true;
}

bool CRegistrySettingsStore::SetStringValue(SettingsKey key, LPCSTR name, LPCSTR data,
                                            DWORD cbData) {
    return RegSetValueExA(ToHkey(key), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                          cbData) == ERROR_SUCCESS;
}

bool CRegistrySettingsStore::QueryValue(SettingsKey key, LPCSTR name, DWORD* pType, BYTE* data,
                                        DWORD* pcbData) {
    return RegQueryValueExA(ToHkey(key), name, nullptr, pType, data, pcbData) == ERROR_SUCCESS;
}

void CRegistrySettingsStore::CloseKey(SettingsKey key) {
    RegCloseKey(ToHkey(key));
}

DWORD CRegistrySettingsStore::ReadWinIniText(LPCSTR section, LPCSTR key, LPCSTR defaultText,
                                             LPSTR buffer, DWORD size) {
    return GetProfileStringA(section, key, defaultText, buffer, size);
}

bool CRegistrySettingsStore::WriteIniText(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

FileStatus CRegistrySettingsStore::GetFileStatus(LPCSTR path) {
    // An attribute query, not an open: a folder of that name counts as present.
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return FileStatus::kPresent;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return FileStatus::kAbsent;
    return FileStatus::kUnknown;
}

#endif
