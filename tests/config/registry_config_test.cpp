// The HPLC system configuration against the platform's own registry, win.ini
// and INI files (run under Wine): where the keys land, what exactly is stored,
// and what the driver settings file looks like.
#include <gtest/gtest.h>

#include "tests/support/registry_tree.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/adapter_config_app.h"
#include "config/settings_store.h"

namespace {

const char kRoot[] = "Software\\Quorvel";
const char kKey1[] = "Software\\Quorvel\\HPLCSYSTEMS\\SYSTEM-1";
const char kKey2[] = "Software\\Quorvel\\HPLCSYSTEMS\\SYSTEM-2";

bool KeyExists(const std::string& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

struct RawValue {
    bool found = false;
    DWORD type = 0;
    std::string bytes;
};

// A value as stored in the 32-bit view, every byte of it.
RawValue ReadValue(const char* keyPath, const char* name) {
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS)
        return value;
    char data[1024];
    DWORD length = sizeof(data);
    if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &length) ==
        ERROR_SUCCESS) {
        value.found = true;
        value.bytes.assign(data, length);
    }
    RegCloseKey(key);
    return value;
}

void WriteValue(const char* keyPath, const char* name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string Bytes(const char* text) {
    return std::string(text, std::strlen(text) + 1);
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class RegistryConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsStore(nullptr);  // the platform's store: the registry
        DeleteRegistryTree(kRoot, KEY_WOW64_32KEY);
        DeleteRegistryTree(kRoot, KEY_WOW64_64KEY);
        // A fresh folder per test: the profile functions may cache files by name.
        static int s_count = 0;
        char temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        m_folder = std::string(temp) + "pv-config-" + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(GetTickCount()) + "-" + std::to_string(++s_count);
        ASSERT_TRUE(CreateDirectoryA(m_folder.c_str(), nullptr)) << m_folder;
        m_ini = m_folder + "\\qzdrv204.ini";
        ASSERT_TRUE(WriteProfileStringA("Ploven", "LocalPath", m_folder.c_str()));
    }
    void TearDown() override {
        WriteProfileStringA("Ploven", nullptr, nullptr);
        DeleteRegistryTree(kRoot, KEY_WOW64_32KEY);
        DeleteFileA(m_ini.c_str());
        RemoveDirectoryA(m_ini.c_str());
        RemoveDirectoryA(m_folder.c_str());
    }

    std::string Ini(const char* section, const char* key) {
        char value[256] = {};
        GetPrivateProfileStringA(section, key, "<missing>", value, sizeof(value), m_ini.c_str());
        return value;
    }
    std::string IniSections() {
        char names[512] = {};
        DWORD length = GetPrivateProfileSectionNamesA(names, sizeof(names), m_ini.c_str());
        return std::string(names, length);
    }

    std::string m_folder;
    std::string m_ini;
    CAdapterConfigApp m_app;
};

TEST_F(RegistryConfigTest, FirstRunWritesThe32BitViewAndTheDriverFile) {
    m_app.LoadConfiguration();

    for (const char* key : {kKey1, kKey2}) {
        SCOPED_TRACE(key);
        // REG_SZ values with the NUL counted, also for the empty HOST.
        RawValue ifType = ReadValue(key, "IFTYPE");
        EXPECT_EQ(ifType.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(ifType.bytes, Bytes("NONE"));
        RawValue host = ReadValue(key, "HOST");
        EXPECT_EQ(host.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(host.bytes, std::string(1, '\0'));
        EXPECT_EQ(ReadValue(key, "NAME").bytes, Bytes("Controller"));
        for (const char* sub : {"\\DATACONFIG", "\\DIAGINFO", "\\UNITCONFIG"})
            EXPECT_TRUE(KeyExists(std::string(key) + sub, KEY_WOW64_32KEY)) << sub;
    }
    // The 32-bit driver's view of the 64-bit registry, and nowhere else.
    EXPECT_TRUE(KeyExists("Software\\Wow6432Node\\Quorvel\\HPLCSYSTEMS\\SYSTEM-1\\UNITCONFIG",
                          KEY_WOW64_64KEY));
    EXPECT_FALSE(KeyExists(kRoot, KEY_WOW64_64KEY));

    EXPECT_STREQ(m_app.m_strHost[1], "");
    EXPECT_STREQ(m_app.m_strHost[2], "");
    EXPECT_STREQ(m_app.m_strDriverIni, m_ini.c_str());
    EXPECT_EQ(IniSections(), std::string("SYSTEM-1\0SYSTEM-2\0", 18));
    for (const char* section : {"SYSTEM-1", "SYSTEM-2"}) {
        EXPECT_EQ(Ini(section, "IFTYPE"), "NONE");
        EXPECT_EQ(Ini(section, "HOST"), "");
        EXPECT_EQ(Ini(section, "SamplingInterval"), "500");
    }
}

TEST_F(RegistryConfigTest, SaveWritesBothStoresAndLoadReadsItBack) {
    m_app.LoadConfiguration();

    UINT failed = 99;
    EXPECT_TRUE(m_app.SaveSystem(1, "10.231.0.2", &failed));
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(ReadValue(kKey1, "IFTYPE").bytes, Bytes("TessikBox"));
    EXPECT_EQ(ReadValue(kKey1, "HOST").bytes, Bytes("10.231.0.2"));
    EXPECT_EQ(ReadValue(kKey1, "NAME").bytes, Bytes("Controller"));
    EXPECT_EQ(Ini("SYSTEM-1", "IFTYPE"), "TessikBox");
    EXPECT_EQ(Ini("SYSTEM-1", "HOST"), "10.231.0.2");
    EXPECT_EQ(Ini("SYSTEM-1", "SamplingInterval"), "500");
    EXPECT_EQ(Ini("SYSTEM-2", "IFTYPE"), "NONE");

    CAdapterConfigApp next;
    next.LoadConfiguration();
    EXPECT_STREQ(next.m_strHost[1], "10.231.0.2");
    EXPECT_STREQ(next.m_strHost[2], "");

    EXPECT_TRUE(m_app.SaveSystem(1, "", &failed));
    EXPECT_EQ(ReadValue(kKey1, "IFTYPE").bytes, Bytes("NONE"));
    EXPECT_EQ(ReadValue(kKey1, "HOST").bytes, std::string(1, '\0'));
    EXPECT_EQ(Ini("SYSTEM-1", "HOST"), "");
}

TEST_F(RegistryConfigTest, AnExistingDriverFileOrFolderIsLeftAlone) {
    const std::string original =
        "[SYSTEM-1]\r\nIFTYPE=TessikBox\r\nHOST=10.231.0.9\r\nSamplingInterval=250\r\n"
        "[Columns]\r\nOven=40\r\n";
    {
        std::ofstream out(m_ini, std::ios::binary);
        out << original;
    }
    m_app.LoadConfiguration();
    EXPECT_EQ(FileBytes(m_ini), original);

    EXPECT_TRUE(m_app.SaveSystem(2, "10.231.0.3"));
    EXPECT_EQ(Ini("SYSTEM-1", "SamplingInterval"), "250");
    EXPECT_EQ(Ini("SYSTEM-1", "HOST"), "10.231.0.9");
    EXPECT_EQ(Ini("Columns", "Oven"), "40");
    EXPECT_EQ(Ini("SYSTEM-2", "HOST"), "10.231.0.3");
    EXPECT_EQ(Ini("SYSTEM-2", "SamplingInterval"), "<missing>");

    // A folder bearing the file's name counts as the file.
    ASSERT_TRUE(DeleteFileA(m_ini.c_str()));
    ASSERT_TRUE(CreateDirectoryA(m_ini.c_str(), nullptr));
    CAdapterConfigApp next;
    next.LoadConfiguration();
    EXPECT_EQ(GetFileAttributesA(m_ini.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(RegistryConfigTest, ExistingKeysAreReadNotRewrittenAndHostStaysBounded) {
    // HOST as binary data without a NUL, and a NAME of the user's own.
    WriteValue(kKey1, "HOST", REG_BINARY, "10.231.0.4");
    WriteValue(kKey1, "NAME", REG_SZ, Bytes("Left pump rack"));
    WriteValue(kKey2, "HOST", REG_SZ, Bytes(std::string(300, '7').c_str()));

    m_app.LoadConfiguration();
    EXPECT_STREQ(m_app.m_strHost[1], "10.231.0.4");
    EXPECT_STREQ(m_app.m_strHost[2], "");  // too long for the 256-byte buffer
    EXPECT_EQ(ReadValue(kKey1, "NAME").bytes, Bytes("Left pump rack"));
    EXPECT_FALSE(ReadValue(kKey1, "IFTYPE").found);
    EXPECT_FALSE(KeyExists(std::string(kKey1) + "\\DATACONFIG", KEY_WOW64_32KEY));
}

TEST_F(RegistryConfigTest, SaveIntoAMissingDriverFolderIsReported) {
    std::string missing = m_folder + "\\not-there";
    ASSERT_TRUE(WriteProfileStringA("Ploven", "LocalPath", missing.c_str()));
    m_app.LoadConfiguration();
    EXPECT_STREQ(m_app.m_strDriverIni, (missing + "\\qzdrv204.ini").c_str());

    UINT failed = 0;
    EXPECT_FALSE(m_app.SaveSystem(2, "10.231.0.8", &failed));
    EXPECT_EQ(failed, static_cast<UINT>(CAdapterConfigApp::kSaveDriverIniFailed));
    EXPECT_EQ(ReadValue(kKey2, "HOST").bytes, Bytes("10.231.0.8"));
    EXPECT_STREQ(m_app.m_strHost[2], "10.231.0.8");
}

}  // namespace
