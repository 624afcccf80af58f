// The HPLC system configuration against the in-memory settings store: what
// start-up creates and reads, what a save writes, and in which order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "app/adapter_config_app.h"
#include "app/save_report.h"
#include "tests/support/failing_allocator.h"
#include "tests/support/memory_settings_store.h"

namespace {

using Strings = std::vector<std::string>;

const std::string kKey1 = "Software\\Quorvel\\HPLCSYSTEMS\\SYSTEM-1";
const std::string kKey2 = "Software\\Quorvel\\HPLCSYSTEMS\\SYSTEM-2";
const std::string kFolder = "C:\\Ploven";
const std::string kIni = "C:\\Ploven\\qzdrv204.ini";

// The journal lines of creating a system key with its defaults.
Strings KeyCreation(const std::string& key) {
    return {"create " + key,
            "set " + key + " IFTYPE=NONE",
            "set " + key + " HOST=",
            "set " + key + " NAME=Controller",
            "create " + key + "\\DATACONFIG",
            "create " + key + "\\DIAGINFO",
            "create " + key + "\\UNITCONFIG"};
}

Strings IniDefaults(int n) {
    std::string prefix = "ini " + kIni + " [SYSTEM-" + std::to_string(n) + "] ";
    return {prefix + "IFTYPE=NONE", prefix + "HOST=", prefix + "SamplingInterval=500"};
}

Strings Concat(std::initializer_list<Strings> parts) {
    Strings all;
    for (const Strings& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string Bytes(const char* text) {
    return std::string(text, std::strlen(text) + 1);
}

class SystemConfigTest : public ::testing::Test {
protected:
    void SetUp() override { SetSettingsStore(&m_store); }
    void TearDown() override {
        SetSettingsStore(nullptr);
        // Every key opened or created must have been closed, exactly once.
        EXPECT_EQ(m_store.OpenKeyCount(), 0);
        EXPECT_EQ(m_store.BadCloseCount(), 0);
    }

    void SetLocalPath(const std::string& folder) {
        m_store.SetWinIniValue("Ploven", "LocalPath", folder);
    }
    std::string StoredBytes(const std::string& key, const char* name) {
        const CMemorySettingsStore::Value* value = m_store.FindValue(key, name);
        EXPECT_NE(value, nullptr) << key << " " << name;
        if (!value)
            return "<missing>";
        EXPECT_EQ(value->type, kValueString) << key << " " << name;
        return value->bytes;
    }
    std::string IniValue(const std::string& section, const std::string& key) {
        std::string value;
        return m_store.GetIniValue(kIni, section, key, &value) ? value : "<missing>";
    }

    CMemorySettingsStore m_store;
    CAdapterConfigApp m_app;
};

TEST_F(SystemConfigTest, FirstRunCreatesKeysAndDriverFileWithDefaultsInOrder) {
    m_store.AddFolder(kFolder);
    SetLocalPath(kFolder);

    m_app.LoadConfiguration();

    EXPECT_EQ(m_store.Journal(),
              Concat({KeyCreation(kKey1), KeyCreation(kKey2), IniDefaults(1), IniDefaults(2)}));
    for (const std::string& key : {kKey1, kKey2}) {
        // String values carry their NUL in the length, the empty one too.
        EXPECT_EQ(StoredBytes(key, "IFTYPE"), Bytes("NONE"));
        EXPECT_EQ(StoredBytes(key, "HOST"), std::string(1, '\0'));
        EXPECT_EQ(StoredBytes(key, "NAME"), Bytes("Controller"));
        EXPECT_EQ(m_store.SubKeyNames(key), (Strings{"DATACONFIG", "DIAGINFO", "UNITCONFIG"}));
        for (const char* sub : {"\\DATACONFIG", "\\DIAGINFO", "\\UNITCONFIG"}) {
            EXPECT_TRUE(m_store.ValueNames(key + sub).empty()) << key << sub;
            EXPECT_TRUE(m_store.SubKeyNames(key + sub).empty()) << key << sub;
        }
    }
    EXPECT_STREQ(m_app.m_strHost[1], "");
    EXPECT_STREQ(m_app.m_strHost[2], "");
    EXPECT_STREQ(m_app.m_strDriverIni, kIni.c_str());
    const CMemorySettingsStore::IniFile* file = m_store.FindIniFile(kIni);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->size(), 2u);
    EXPECT_EQ((*file)[0].first, "SYSTEM-1");
    EXPECT_EQ((*file)[1].first, "SYSTEM-2");
}

TEST_F(SystemConfigTest, WithoutLocalFolderNoDriverFileButSavesWriteTheKeys) {
    for (bool emptyValue : {false, true}) {
        SCOPED_TRACE(emptyValue ? "LocalPath empty" : "no Ploven section");
        CMemorySettingsStore store;
        store.AddFolder(kFolder);
        if (emptyValue)
            store.SetWinIniValue("Ploven", "LocalPath", "");
        SetSettingsStore(&store);
        CAdapterConfigApp app;
        app.m_strDriverIni = "stale";

        app.LoadConfiguration();
        EXPECT_EQ(store.Journal(), Concat({KeyCreation(kKey1), KeyCreation(kKey2)}));
        EXPECT_STREQ(app.m_strDriverIni, "");

        UINT failed = 99;
        EXPECT_TRUE(app.SaveSystem(1, "10.231.0.50", &failed));
        EXPECT_EQ(failed, 0u);
        const CMemorySettingsStore::Value* host = store.FindValue(kKey1, "HOST");
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(host->bytes, Bytes("10.231.0.50"));
        EXPECT_EQ(store.FindIniFile(kIni), nullptr);
        EXPECT_EQ(store.OpenKeyCount(), 0);
        SetSettingsStore(&m_store);
    }
}

TEST_F(SystemConfigTest, ExistingKeysAndDriverFileAreLeftAsTheyAre) {
    m_store.PutValue(kKey1, "IFTYPE", kValueString, Bytes("TessikBox"));
    m_store.PutValue(kKey1, "HOST", kValueString, Bytes("10.231.0.20"));
    m_store.PutValue(kKey1, "NAME", kValueString, Bytes("Left pump rack"));
    m_store.PutValue(kKey2 + "\\DIAGINFO", "Level", kValueDword, std::string("\x03\0\0\0", 4));
    const CMemorySettingsStore::IniFile original = {
        {"SYSTEM-1",
         {{"IFTYPE", "TessikBox"}, {"HOST", "10.231.0.20"}, {"SamplingInterval", "250"}}},
        {"Columns", {{"Oven", "40"}}}};
    m_store.PutIniFile(kIni, original);
    SetLocalPath(kFolder);

    m_app.LoadConfiguration();

    // SYSTEM-2 exists (as the parent of DIAGINFO) without any value: it is
    // opened, not recreated, and its host stays empty.
    EXPECT_EQ(m_store.Journal(), Strings{});
    EXPECT_STREQ(m_app.m_strHost[1], "10.231.0.20");
    EXPECT_STREQ(m_app.m_strHost[2], "");
    EXPECT_EQ(StoredBytes(kKey1, "NAME"), Bytes("Left pump rack"));
    EXPECT_TRUE(m_store.ValueNames(kKey2).empty());
    ASSERT_NE(m_store.FindIniFile(kIni), nullptr);
    EXPECT_EQ(*m_store.FindIniFile(kIni), original);
}

TEST_F(SystemConfigTest, DefaultsOnlyGoIntoADriverFileKnownToBeMissing) {
    // A folder bearing the file's name counts as the file.
    m_store.AddFolder(kIni);
    SetLocalPath(kFolder + "\\");  // a trailing backslash still names the same file
    m_app.LoadConfiguration();
    EXPECT_EQ(m_store.Journal(), Concat({KeyCreation(kKey1), KeyCreation(kKey2)}));
    EXPECT_EQ(m_store.FindIniFile(kIni), nullptr);

    // A status query that fails for another reason must not reset the
    // assignments of a file that may well be there.
    CMemorySettingsStore store;
    store.AddFolder(kFolder);
    store.SetWinIniValue("Ploven", "LocalPath", kFolder);
    store.SetFileStatusUnknown(kIni);
    SetSettingsStore(&store);
    CAdapterConfigApp app;
    app.LoadConfiguration();
    EXPECT_EQ(store.FindIniFile(kIni), nullptr);
    EXPECT_STREQ(app.m_strDriverIni, kIni.c_str());
    SetSettingsStore(&m_store);
}

TEST_F(SystemConfigTest, SaveWritesHostOrNoAdapterToBothStores) {
    m_store.AddFolder(kFolder);
    SetLocalPath(kFolder);
    m_app.LoadConfiguration();
    m_store.ClearJournal();

    UINT failed = 99;
    EXPECT_TRUE(m_app.SaveSystem(2, "10.231.0.77", &failed));
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(m_store.Journal(),
              (Strings{"set " + kKey2 + " IFTYPE=TessikBox", "set " + kKey2 + " HOST=10.231.0.77",
                       "ini " + kIni + " [SYSTEM-2] IFTYPE=TessikBox",
                       "ini " + kIni + " [SYSTEM-2] HOST=10.231.0.77"}));
    EXPECT_EQ(StoredBytes(kKey2, "IFTYPE"), Bytes("TessikBox"));
    EXPECT_EQ(StoredBytes(kKey2, "HOST"), Bytes("10.231.0.77"));
    EXPECT_EQ(StoredBytes(kKey2, "NAME"), Bytes("Controller"));
    EXPECT_STREQ(m_app.m_strHost[2], "10.231.0.77");
    EXPECT_EQ(IniValue("SYSTEM-2", "SamplingInterval"), "500");
    EXPECT_EQ(IniValue("SYSTEM-1", "IFTYPE"), "NONE");
    EXPECT_STREQ(m_app.m_strHost[1], "");

    m_store.ClearJournal();
    EXPECT_TRUE(m_app.SaveSystem(2, "", &failed));
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(m_store.Journal(),
              (Strings{"set " + kKey2 + " IFTYPE=NONE",
                       "set " + kKey2 + " HOST=", "ini " + kIni + " [SYSTEM-2] IFTYPE=NONE",
                       "ini " + kIni + " [SYSTEM-2] HOST="}));
    EXPECT_EQ(StoredBytes(kKey2, "HOST"), std::string(1, '\0'));
    EXPECT_EQ(IniValue("SYSTEM-2", "HOST"), "");
    EXPECT_STREQ(m_app.m_strHost[2], "");
}

TEST_F(SystemConfigTest, SaveRecreatesAKeyDeletedSinceStartUp) {
    m_app.LoadConfiguration();
    m_store.DeleteKey(kKey1);
    m_store.ClearJournal();

    EXPECT_TRUE(m_app.SaveSystem(1, "10.231.0.9"));
    EXPECT_EQ(
        m_store.Journal(),
        Concat({KeyCreation(kKey1),
                {"set " + kKey1 + " IFTYPE=TessikBox", "set " + kKey1 + " HOST=10.231.0.9"}}));
    EXPECT_EQ(StoredBytes(kKey1, "HOST"), Bytes("10.231.0.9"));
    EXPECT_STREQ(m_app.m_strHost[1], "10.231.0.9");
}

// The store under test, its own bookkeeping kept out of the allocations that
// a FailingAllocation counts: only the program's can fail.
class CPausedStore : public CSettingsStore {
public:
    explicit CPausedStore(CSettingsStore& inner) : m_inner(inner) {}
    bool OpenKey(LPCSTR path, KeyAccess access, SettingsKey* pKey) override {
        AllocationPause pause;
        return m_inner.OpenKey(path, access, pKey);
    }
    bool CreateKey(LPCSTR path, SettingsKey* pKey) override {
        AllocationPause pause;
        return m_inner.CreateKey(path, pKey);
    }
    bool SetStringValue(SettingsKey key, LPCSTR name, LPCSTR data, DWORD cbData) override {
        AllocationPause pause;
        return m_inner.SetStringValue(key, name, data, cbData);
    }
    bool QueryValue(SettingsKey key, LPCSTR name, DWORD* pType, BYTE* data,
                    DWORD* pcbData) override {
        AllocationPause pause;
        return m_inner.QueryValue(key, name, pType, data, pcbData);
    }
    void CloseKey(SettingsKey key) override {
        AllocationPause pause;
        m_inner.CloseKey(key);
    }
    DWORD ReadWinIniText(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                         DWORD size) override {
        AllocationPause pause;
        return m_inner.ReadWinIniText(section, key, defaultText, buffer, size);
    }
    bool WriteIniText(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) override {
        AllocationPause pause;
        return m_inner.WriteIniText(section, key, value, path);
    }
    FileStatus GetFileStatus(LPCSTR path) override {
        AllocationPause pause;
        return m_inner.GetFileStatus(path);
    }

private:
    CSettingsStore& m_inner;
};

// Whichever allocation runs out, start-up and a save stop between whole keys
// and sections: the journal ends at one of `cuts` lines of the full one.
TEST_F(SystemConfigTest, RunningOutOfMemoryNeverLeavesAKeyOrSectionHalfWritten) {
    const std::string host(200, '7');  // long enough for every copy to need memory
    struct Case {
        const char* what;
        std::function<void(CAdapterConfigApp&, CMemorySettingsStore&)> prepare, run;
        Strings full;
        std::vector<size_t> cuts;
        bool savesHost;  // m_strHost[1] takes the host exactly when it was written
    };
    auto load = [](CAdapterConfigApp& app, CMemorySettingsStore&) { app.LoadConfiguration(); };
    auto save = [&](CAdapterConfigApp& app, CMemorySettingsStore&) {
        app.SaveSystem(1, host.c_str());
    };
    Strings saved = {"set " + kKey1 + " IFTYPE=TessikBox", "set " + kKey1 + " HOST=" + host,
                     "ini " + kIni + " [SYSTEM-1] IFTYPE=TessikBox",
                     "ini " + kIni + " [SYSTEM-1] HOST=" + host};
    const Case cases[] = {
        {"first start",
         [](CAdapterConfigApp&, CMemorySettingsStore&) {},
         load,
         Concat({KeyCreation(kKey1), KeyCreation(kKey2), IniDefaults(1), IniDefaults(2)}),
         {0, 7, 14, 20},
         false},
        {"save", load, save, saved, {0, 4}, true},
        {"save into a deleted key",
         [&](CAdapterConfigApp& app, CMemorySettingsStore& store) {
             load(app, store);
             store.DeleteKey(kKey1);
         },
         save,
         Concat({KeyCreation(kKey1), saved}),
         {0, 11},
         true},
        // The check before the save recreates the key, whole, on its own.
        {"checked save into a deleted key",
         [&](CAdapterConfigApp& app, CMemorySettingsStore& store) {
             load(app, store);
             store.DeleteKey(kKey1);
         },
         [&](CAdapterConfigApp& app, CMemorySettingsStore&) {
             const CString strHost(host.c_str());
             const CString* hosts[3] = {nullptr, &strHost, nullptr};
             SaveOutcome outcome[3] = {};
             SaveSystemsGuarded(app, hosts, outcome);
         },
         Concat({KeyCreation(kKey1), saved}),
         {0, 7, 11},
         true},
    };
    for (const Case& c : cases) {
        for (int n = 1; n < 10000; ++n) {
            SCOPED_TRACE(std::string(c.what) + ", allocation " + std::to_string(n) + " fails");
            CMemorySettingsStore store;
            store.AddFolder(kFolder);
            store.SetWinIniValue("Ploven", "LocalPath", kFolder);
            CPausedStore paused(store);
            SetSettingsStore(&paused);
            CAdapterConfigApp app;
            c.prepare(app, store);
            store.ClearJournal();
            bool failed = false;
            {
                FailingAllocation failure(n);
                try {
                    c.run(app, store);
                } catch (const std::bad_alloc&) {
                }
                failed = failure.Happened();
            }
            const Strings& journal = store.Journal();
            ASSERT_LE(journal.size(), c.full.size());
            EXPECT_EQ(journal, Strings(c.full.begin(), c.full.begin() + journal.size()));
            EXPECT_NE(std::find(c.cuts.begin(), c.cuts.end(), journal.size()), c.cuts.end())
                << "stopped after " << journal.size() << " writes";
            if (c.savesHost) {
                bool hostWritten = std::find(journal.begin(), journal.end(),
                                             "set " + kKey1 + " HOST=" + host) != journal.end();
                EXPECT_STREQ(app.m_strHost[1], hostWritten ? host.c_str() : "");
            }
            EXPECT_EQ(store.OpenKeyCount(), 0);
            SetSettingsStore(&m_store);
            if (!failed) {
                EXPECT_EQ(journal, c.full) << "the run without failure";
                break;
            }
        }
    }
}

TEST_F(SystemConfigTest, HostIsReadWithinItsBufferWhateverItsTypeAndLength) {
    struct Case {
        const char* what;
        DWORD type;
        std::string bytes;
        std::string expected;
    };
    const std::string fill255(255, '7'), fill256(256, '7');
    const Case cases[] = {
        {"number without NUL", kValueDword, "1234", "1234"},
        {"binary without NUL", kValueBinary, "10.231.0.3", "10.231.0.3"},
        {"string with text after its NUL", kValueString, Bytes("10.0.0.1") + "junk", "10.0.0.1"},
        {"the longest host with its NUL", kValueString, fill255 + '\0', fill255},
        // Saved unchanged, with its NUL, it would no longer fit.
        {"binary filling the buffer without a NUL", kValueBinary, fill256, ""},
        {"string one byte too long", kValueString, fill256 + '\0', ""},
        {"binary far too long", kValueBinary, std::string(4000, 'A'), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_store.PutValue(kKey1, "HOST", c.type, c.bytes);
        m_app.m_strHost[1] = "previous";
        m_app.EnsureSystemKey(1);
        EXPECT_EQ(std::string(m_app.m_strHost[1].GetString(),
                              static_cast<size_t>(m_app.m_strHost[1].GetLength())),
                  c.expected);
    }
    EXPECT_EQ(m_store.Journal(), Strings{});  // reading never rewrites the value
}

// Without the rights to write a system key (a standard user on the
// machine-wide settings) start-up still reads the stored hosts, and a save
// that would touch such a key writes nothing anywhere.
TEST_F(SystemConfigTest, ReadableButUnwritableKeysAreReadAndNeverSavedHalfway) {
    struct Case {
        const char* what;
        std::function<void(CMemorySettingsStore&)> restrict;
        bool save1, save2;
        SaveResult result;
    };
    const Case cases[] = {
        {"no write access at all", [](CMemorySettingsStore& s) { s.SetRegistryWritable(false); },
         true, true, SaveResult::kNeedsAdministrator},
        {"system 2's key read-only, both saved",
         [](CMemorySettingsStore& s) { s.SetKeyReadOnly(kKey2); }, true, true,
         SaveResult::kNeedsAdministrator},
        {"system 1's key read-only, system 2 alone saved",
         [](CMemorySettingsStore& s) { s.SetKeyReadOnly(kKey1); }, false, true, SaveResult::kSaved},
        {"system 2's key missing and not creatable",
         [](CMemorySettingsStore& s) {
             s.DeleteKey(kKey2);
             s.SetKeyReadOnly(kKey2);
         },
         true, true, SaveResult::kNeedsAdministrator},
        // What IT grants instead of Full Control: a save asks no more.
        {"both keys granted read and set value only, both saved",
         [](CMemorySettingsStore& s) {
             s.SetKeyRights(kKey1, kReadRights | kRightSetValue);
             s.SetKeyRights(kKey2, kReadRights | kRightSetValue);
         },
         true, true, SaveResult::kSaved},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMemorySettingsStore store;
        store.PutValue(kKey1, "HOST", kValueString, Bytes("10.231.0.5"));
        store.PutValue(kKey2, "HOST", kValueString, Bytes("10.231.0.7"));
        const CMemorySettingsStore::IniFile ini = {
            {"SYSTEM-1", {{"IFTYPE", "TessikBox"}, {"HOST", "10.231.0.5"}}},
            {"SYSTEM-2", {{"IFTYPE", "TessikBox"}, {"HOST", "10.231.0.7"}}}};
        store.PutIniFile(kIni, ini);
        store.SetWinIniValue("Ploven", "LocalPath", kFolder);
        c.restrict(store);
        SetSettingsStore(&store);
        CAdapterConfigApp app;

        app.LoadConfiguration();
        EXPECT_STREQ(app.m_strHost[1], "10.231.0.5");
        EXPECT_STREQ(app.m_strHost[2], store.KeyExists(kKey2) ? "10.231.0.7" : "");
        EXPECT_EQ(store.Journal(), Strings{});

        const CString host1 = "10.231.0.6", host2 = "10.231.0.8";
        const CString* hosts[3] = {nullptr, c.save1 ? &host1 : nullptr, c.save2 ? &host2 : nullptr};
        SaveOutcome outcome[3] = {};
        EXPECT_EQ(SaveSystemsGuarded(app, hosts, outcome), c.result);
        if (c.result == SaveResult::kNeedsAdministrator) {
            EXPECT_EQ(store.Journal(), Strings{});
            ASSERT_NE(store.FindIniFile(kIni), nullptr);
            EXPECT_EQ(*store.FindIniFile(kIni), ini);
            EXPECT_STREQ(app.m_strHost[1], "10.231.0.5");
        } else {
            Strings expected;
            for (int n = 1; n <= 2; ++n) {
                if (!hosts[n])
                    continue;
                std::string key = "set ", ini = "ini ";
                key += n == 1 ? kKey1 : kKey2;
                ini += kIni;
                ini += n == 1 ? " [SYSTEM-1] " : " [SYSTEM-2] ";
                const std::string host = hosts[n]->GetString();
                expected.insert(expected.end(), {key + " IFTYPE=TessikBox", key + " HOST=" + host,
                                                 ini + "IFTYPE=TessikBox", ini + "HOST=" + host});
            }
            EXPECT_EQ(store.Journal(), expected);
        }
        EXPECT_EQ(store.OpenKeyCount(), 0);
    }
    SetSettingsStore(&m_store);
}

TEST_F(SystemConfigTest, AKeyThatBecomesUnwritableMidSaveIsReportedAndKeepsTheHost) {
    m_store.PutValue(kKey1, "HOST", kValueString, Bytes("10.231.0.5"));
    m_store.AddFolder(kFolder);
    SetLocalPath(kFolder);
    m_app.LoadConfiguration();
    ASSERT_STREQ(m_app.m_strHost[1], "10.231.0.5");
    m_store.SetRegistryWritable(false);
    m_store.ClearJournal();

    UINT failed = 0;
    EXPECT_FALSE(m_app.SaveSystem(1, "10.231.0.6", &failed));
    EXPECT_EQ(failed, static_cast<UINT>(CAdapterConfigApp::kSaveKeyFailed));
    EXPECT_STREQ(m_app.m_strHost[1], "10.231.0.5");
    EXPECT_EQ(StoredBytes(kKey1, "HOST"), Bytes("10.231.0.5"));
    // The driver file is still written, in the usual order after the key.
    EXPECT_EQ(IniValue("SYSTEM-1", "HOST"), "10.231.0.6");
}

TEST_F(SystemConfigTest, SaveIntoAMissingDriverFolderIsReported) {
    SetLocalPath("D:\\Ploven\\gone");
    m_app.LoadConfiguration();  // the defaults cannot be written either, silently
    ASSERT_STREQ(m_app.m_strDriverIni, "D:\\Ploven\\gone\\qzdrv204.ini");

    UINT failed = 0;
    EXPECT_FALSE(m_app.SaveSystem(2, "10.231.0.8", &failed));
    EXPECT_EQ(failed, static_cast<UINT>(CAdapterConfigApp::kSaveDriverIniFailed));
    // The key was written, so the host text follows it.
    EXPECT_STREQ(m_app.m_strHost[2], "10.231.0.8");
    EXPECT_EQ(StoredBytes(kKey2, "HOST"), Bytes("10.231.0.8"));
}

TEST_F(SystemConfigTest, SystemNumbersOtherThanOneAndTwoTouchNothing) {
    m_store.AddFolder(kFolder);
    SetLocalPath(kFolder);
    m_app.LoadConfiguration();
    m_store.ClearJournal();

    for (int n : {0, 3, -1}) {
        UINT failed = 0;
        m_app.EnsureSystemKey(n);
        EXPECT_FALSE(m_app.SaveSystem(n, "10.231.0.1", &failed)) << n;
        EXPECT_EQ(failed, static_cast<UINT>(CAdapterConfigApp::kSaveKeyFailed |
                                            CAdapterConfigApp::kSaveDriverIniFailed));
        EXPECT_FALSE(m_app.WriteDriverIniSystem(n, "10.231.0.1")) << n;
    }
    EXPECT_EQ(m_store.Journal(), Strings{});
}

#ifndef _WIN32
// Without a registry and without a store put in, nothing is kept: start-up
// finds no settings, a save reports the keys unwritten, reads give the default.
TEST(NoSettingsStoreTest, StartUpFindsNothingAndSavesFail) {
    SetSettingsStore(nullptr);
    CAdapterConfigApp app;
    app.LoadConfiguration();
    EXPECT_STREQ(app.m_strHost[1], "");
    EXPECT_STREQ(app.m_strDriverIni, "");
    UINT failed = 0;
    EXPECT_FALSE(app.SaveSystem(1, "10.231.0.4", &failed));
    EXPECT_EQ(failed, static_cast<UINT>(CAdapterConfigApp::kSaveKeyFailed));
    EXPECT_STREQ(app.m_strHost[1], "");

    char text[5];
    EXPECT_EQ(SettingsStore().ReadWinIniText("Ploven", "LocalPath", "C:\\Lab", text, 5), 4u);
    EXPECT_STREQ(text, "C:\\L");
}
#endif

}  // namespace
