#include "tests/ui/stored_settings.h"

#include "tests/support/registry_tree.h"

#include <sddl.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace stored {

namespace {

constexpr char kRootKey[] = "Software\\Quorvel";
constexpr REGSAM kView32 = KEY_WOW64_32KEY;

HKEY CreateKey(const std::string& path) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView32,
                    nullptr, &key, nullptr);
    return key;
}

void SetString(HKEY key, const char* name, const std::string& text) {
    std::string bytes = StringBytes(text);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    char digits[4];
    for (unsigned char c : bytes) {
        std::snprintf(digits, sizeof(digits), "%02x", c);
        hex += digits;
    }
    return hex;
}

std::string KeySnapshot(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | kView32, &key) !=
        ERROR_SUCCESS)
        return path + ": missing\n";
    std::string text = path + ":\n";
    char name[256];
    BYTE data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = sizeof(name);
        DWORD dataLength = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        text += "  " + std::string(name, nameLength) + " type " + std::to_string(type) + " = " +
                Hex(std::string(reinterpret_cast<char*>(data), dataLength)) + "\n";
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        text += "  sub-key " + std::string(name, nameLength) + "\n";
    }
    FILETIME written = {};
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, &written);
    text += "  written " + std::to_string(written.dwHighDateTime) + ":" +
            std::to_string(written.dwLowDateTime) + "\n";
    RegCloseKey(key);
    return text;
}

// Replaces the key's access list with the one given in the platform's
// security descriptor text.
bool SetKeyAccess(const std::string& path, const char* dacl) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC | kView32, &key) !=
        ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(dacl, SDDL_REVISION_1,
                                                                    &descriptor, nullptr) &&
               RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return set;
}

}  // namespace

bool MakeSystemKeyReadOnly(int n) {
    return SetKeyAccess(SystemKey(n), "D:P(A;;KR;;;WD)");
}

std::string SystemKey(int n) {
    return std::string(kRootKey) + "\\HPLCSYSTEMS\\SYSTEM-" + std::to_string(n);
}

void DeleteSystemKeys() {
    // As the keys' owner, this process may always change their security.
    for (int n = 1; n <= 2; ++n)
        SetKeyAccess(SystemKey(n), "D:(A;;KA;;;WD)");
    DeleteRegistryTree(kRootKey, KEY_WOW64_32KEY);
    DeleteRegistryTree(kRootKey, KEY_WOW64_64KEY);
}

bool ExistsIn64BitView() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRootKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void PutSystemKey(int n, const std::string& ifType, const std::string& host) {
    HKEY key = CreateKey(SystemKey(n));
    if (!key)
        return;
    SetString(key, "IFTYPE", ifType);
    SetString(key, "HOST", host);
    SetString(key, "NAME", "Controller");
    RegCloseKey(key);
    for (const char* sub : {"DATACONFIG", "DIAGINFO", "UNITCONFIG"})
        if (HKEY subKey = CreateKey(SystemKey(n) + "\\" + sub))
            RegCloseKey(subKey);
}

std::string ReadValue(int n, const char* name) {
    // Where the registry's redirection keeps the 32-bit view, as the 64-bit
    // view shows it: the same place whether the program and this test are
    // 64-bit or 32-bit processes.
    const std::string stored =
        "Software\\Wow6432Node\\Quorvel\\HPLCSYSTEMS\\SYSTEM-" + std::to_string(n);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, stored.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return "<missing>";
    char data[1024];
    DWORD length = sizeof(data);
    std::string value = "<missing>";
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &length) ==
        ERROR_SUCCESS)
        value.assign(data, length);
    RegCloseKey(key);
    return value;
}

std::string StringBytes(const std::string& text) {
    return std::string(text.c_str(), text.size() + 1);
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<no file>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Snapshot(const std::string& iniPath) {
    return KeySnapshot(SystemKey(1)) + KeySnapshot(SystemKey(2)) + "driver file:\n" +
           FileBytes(iniPath);
}

DriverFolder::DriverFolder() {
    // A fresh folder each time: the profile functions may cache files by name.
    static int s_count = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    m_strFolder = std::string(temp) + "pv-ui-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(GetTickCount()) + "-" + std::to_string(++s_count);
    CreateDirectoryA(m_strFolder.c_str(), nullptr);
    m_strIni = m_strFolder + "\\qzdrv204.ini";
    WriteProfileStringA("Ploven", "LocalPath", m_strFolder.c_str());
}

DriverFolder::~DriverFolder() {
    WriteProfileStringA("Ploven", nullptr, nullptr);
    DeleteFileA(m_strIni.c_str());
    RemoveDirectoryA(m_strFolder.c_str());
}

void DriverFolder::WriteIni(const std::string& bytes) const {
    std::ofstream out(m_strIni, std::ios::binary);
    out << bytes;
}

}  // namespace stored
