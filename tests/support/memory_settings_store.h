// CMemorySettingsStore: the settings store held in memory, the stand-in that
// unit tests set up and inspect.
//
// It models what the configuration logic relies on: keys with typed values
// (names case-insensitive, parents created with a key), handles that must be
// closed and that write only when opened for writing, keys that can be read
// but not written, a value query bounded by the caller's buffer, win.ini, INI files
// made of ordered sections, and folders (an INI file can only be written into
// an existing folder). Every successful change is appended to a journal so
// tests can check the order of writes.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/settings_store.h"

class CMemorySettingsStore : public CSettingsStore {
public:
    struct Value {
        DWORD type = kValueString;
        std::string bytes;  // exactly the stored bytes, a string's NUL included
    };
    using Section = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;
    using IniFile = std::vector<Section>;

    // CSettingsStore
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

    // Keys: set-up and inspection (paths as given to OpenKey).
    bool KeyExists(const std::string& path) const;
    void PutValue(const std::string& path, const std::string& name, DWORD type,
                  const std::string& bytes);  // creates the key as needed
    const Value* FindValue(const std::string& path, const std::string& name) const;
    std::vector<std::string> ValueNames(const std::string& path) const;
    std::vector<std::string> SubKeyNames(const std::string& path) const;  // direct children
    void DeleteKey(const std::string& path);  // with everything below it
    // Without write access (as for a user without rights on the machine-wide
    // root) keys still open for reading, but opening them for writing,
    // creating keys and writing values fail. A read-only key is such a key
    // with everything below it; creating it when it exists fails too, as the
    // platform's create opens an existing key with the access asked for.
    void SetRegistryWritable(bool writable) { m_bRegistryWritable = writable; }
    void SetKeyReadOnly(const std::string& path) { m_readOnlyKeys.insert(FoldPath(path)); }
    // Grants exactly `rights` (kRight...) on one key, as an access list entry
    // would; within the limits above. Opening asks RightsFor(access), a create
    // kCreateRights of an existing key or kRightCreateSubKey of the parent,
    // and a handle queries or sets only with the rights it was opened with.
    void SetKeyRights(const std::string& path, DWORD rights) {
        m_keyRights[FoldPath(path)] = rights;
    }
    int OpenKeyCount() const { return static_cast<int>(m_handles.size()); }
    int BadCloseCount() const { return m_nBadCloses; }

    // Files and folders (case-insensitive, '/' or '\').
    void AddFolder(const std::string& path);  // and its parents
    void PutIniFile(const std::string& path, const IniFile& content);
    const IniFile* FindIniFile(const std::string& path) const;
    bool GetIniValue(const std::string& path, const std::string& section, const std::string& key,
                     std::string* pValue) const;
    void SetWinIniValue(const std::string& section, const std::string& key,
                        const std::string& value);
    void SetFileStatusUnknown(const std::string& path);  // the status query fails

    // One line per successful change: "create PATH", "set PATH NAME=TEXT",
    // "ini PATH [SECTION] KEY=VALUE" (a string value's NUL not shown).
    const std::vector<std::string>& Journal() const { return m_journal; }
    void ClearJournal() { m_journal.clear(); }

private:
    struct Key {
        std::string path;                          // as first created
        std::map<std::string, std::string> names;  // folded name -> name as written
        std::map<std::string, Value> values;       // folded name -> value
    };

    static std::string Fold(const std::string& text);
    static std::string FoldPath(const std::string& path);  // also '/' -> '\', no doubled '\'
    static void SetIni(IniFile& file, const std::string& section, const std::string& key,
                       const std::string& value);
    static const std::string* GetIni(const IniFile& file, const std::string& section,
                                     const std::string& key);
    Key* KeyOfHandle(SettingsKey key);
    Key& MakeKey(const std::string& path);

    std::map<std::string, Key> m_keys;  // folded path -> key
    struct Handle {
        std::string path;  // folded
        DWORD rights;      // as opened
    };
    bool MayWrite(const std::string& foldedPath) const;
    DWORD Granted(const std::string& foldedPath) const;
    bool OpenHandle(const std::string& foldedPath, DWORD rights, SettingsKey* pKey);

    std::map<std::uintptr_t, Handle> m_handles;  // open handle -> key
    std::set<std::string> m_readOnlyKeys;        // folded paths
    std::map<std::string, DWORD> m_keyRights;    // folded path -> rights granted
    std::uintptr_t m_nextHandle = 1;
    int m_nBadCloses = 0;
    bool m_bRegistryWritable = true;

    std::set<std::string> m_folders;                                    // folded paths
    std::map<std::string, std::pair<std::string, IniFile>> m_iniFiles;  // folded -> (path, content)
    std::set<std::string> m_unknownStatus;
    IniFile m_winIni;

    std::vector<std::string> m_journal;
};
