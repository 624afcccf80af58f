#include "tests/support/memory_settings_store.h"

#include <algorithm>
#include <cstring>

std::string CMemorySettingsStore::Fold(const std::string& text) {
    std::string folded(text);
    for (char& ch : folded)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return folded;
}

std::string CMemorySettingsStore::FoldPath(const std::string& path) {
    std::string folded;
    for (char ch : Fold(path)) {
        if (ch == '/')
            ch = '\\';
        if (ch == '\\' && !folded.empty() && folded.back() == '\\')
            continue;
        folded += ch;
    }
    if (folded.size() > 1 && folded.back() == '\\')
        folded.pop_back();
    return folded;
}

// --- keys ------------------------------------------------------------------

CMemorySettingsStore::Key& CMemorySettingsStore::MakeKey(const std::string& path) {
    // Creating a key creates its missing parents, as the registry does.
    std::string normal;
    for (char ch : path) {
        if (ch == '\\' && !normal.empty() && normal.back() == '\\')
            continue;
        normal += ch;
    }
    while (!normal.empty() && normal.back() == '\\')
        normal.pop_back();
    Key* pKey = nullptr;
    for (size_t end = 0; end != std::string::npos;) {
        end = normal.find('\\', end + 1);
        std::string partial = normal.substr(0, end);
        Key& key = m_keys[FoldPath(partial)];
        if (key.path.empty())
            key.path = partial;
        pKey = &key;
    }
    return *pKey;
}

CMemorySettingsStore::Key* CMemorySettingsStore::KeyOfHandle(SettingsKey key) {
    auto handle = m_handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (handle == m_handles.end())
        return nullptr;
    auto found = m_keys.find(handle->second.path);  // gone if deleted while open
    return found == m_keys.end() ? nullptr : &found->second;
}

bool CMemorySettingsStore::MayWrite(const std::string& foldedPath) const {
    if (!m_bRegistryWritable)
        return false;
    for (const std::string& readOnly : m_readOnlyKeys)
        if (foldedPath.compare(0, readOnly.size(), readOnly) == 0 &&
            (foldedPath.size() == readOnly.size() || foldedPath[readOnly.size()] == '\\'))
            return false;
    return true;
}

DWORD CMemorySettingsStore::Granted(const std::string& foldedPath) const {
    constexpr DWORD kFullControl = 0x000F003F;
    auto granted = m_keyRights.find(foldedPath);
    DWORD rights = granted == m_keyRights.end() ? kFullControl : granted->second;
    return MayWrite(foldedPath) ? rights : rights & kReadRights;
}

bool CMemorySettingsStore::OpenHandle(const std::string& foldedPath, DWORD rights,
                                      SettingsKey* pKey) {
    std::uintptr_t handle = m_nextHandle++;
    m_handles[handle] = Handle{foldedPath, rights};
    *pKey = reinterpret_cast<SettingsKey>(handle);
    return true;
}

bool CMemorySettingsStore::OpenKey(LPCSTR path, KeyAccess access, SettingsKey* pKey) {
    if (!path)
        return false;
    std::string folded = FoldPath(path);
    const DWORD rights = RightsFor(access);
    if (m_keys.count(folded) == 0 || (rights & ~Granted(folded)) != 0)
        return false;
    return OpenHandle(folded, rights, pKey);
}

bool CMemorySettingsStore::CreateKey(LPCSTR path, SettingsKey* pKey) {
    if (!path || !*path)
        return false;
    std::string folded = FoldPath(path);
    if (m_keys.count(folded) != 0) {
        // An existing key is opened with the rights the create asks for.
        if ((kCreateRights & ~Granted(folded)) != 0)
            return false;
        return OpenHandle(folded, kCreateRights, pKey);
    }
    // A new key needs the right to create sub-keys on its nearest existing
    // parent (a root without a key of its own grants it).
    if (!MayWrite(folded))
        return false;
    for (size_t end = folded.rfind('\\'); end != std::string::npos && end > 0;
         end = folded.rfind('\\', end - 1)) {
        std::string parent = folded.substr(0, end);
        if (m_keys.count(parent) != 0) {
            if ((Granted(parent) & kRightCreateSubKey) == 0)
                return false;
            break;
        }
    }
    MakeKey(path);
    m_journal.push_back(std::string("create ") + path);
    return OpenHandle(folded, kCreateRights, pKey);
}

bool CMemorySettingsStore::SetStringValue(SettingsKey key, LPCSTR name, LPCSTR data, DWORD cbData) {
    Key* pKey = KeyOfHandle(key);
    if (!pKey || (m_handles[reinterpret_cast<std::uintptr_t>(key)].rights & kRightSetValue) == 0 ||
        (Granted(FoldPath(pKey->path)) & kRightSetValue) == 0 || (!data && cbData > 0))
        return false;
    std::string valueName = name ? name : "";
    Value& value = pKey->values[Fold(valueName)];
    value.type = kValueString;
    value.bytes.assign(data ? data : "", cbData);
    pKey->names[Fold(valueName)] = valueName;
    m_journal.push_back("set " + pKey->path + " " + valueName + "=" +
                        value.bytes.substr(0, value.bytes.find('\0')));
    return true;
}

bool CMemorySettingsStore::QueryValue(SettingsKey key, LPCSTR name, DWORD* pType, BYTE* data,
                                      DWORD* pcbData) {
    Key* pKey = KeyOfHandle(key);
    if (!pKey || (m_handles[reinterpret_cast<std::uintptr_t>(key)].rights & kRightQueryValue) == 0)
        return false;
    auto found = pKey->values.find(Fold(name ? name : ""));
    if (found == pKey->values.end())
        return false;
    const Value& value = found->second;
    DWORD size = static_cast<DWORD>(value.bytes.size());
    if (pType)
        *pType = value.type;
    if (!data) {
        if (pcbData)
            *pcbData = size;
        return true;
    }
    if (!pcbData)
        return false;
    if (*pcbData < size) {
        // The platform leaves such a buffer partly written; junk without a
        // NUL shows up any caller that reads it anyway.
        std::memset(data, 'X', *pcbData);
        *pcbData = size;
        return false;
    }
    std::memcpy(data, value.bytes.data(), size);
    *pcbData = size;
    return true;
}

void CMemorySettingsStore::CloseKey(SettingsKey key) {
    if (m_handles.erase(reinterpret_cast<std::uintptr_t>(key)) == 0)
        ++m_nBadCloses;
}

bool CMemorySettingsStore::KeyExists(const std::string& path) const {
    return m_keys.count(FoldPath(path)) != 0;
}

void CMemorySettingsStore::PutValue(const std::string& path, const std::string& name, DWORD type,
                                    const std::string& bytes) {
    Key& key = MakeKey(path);
    key.values[Fold(name)] = Value{type, bytes};
    key.names[Fold(name)] = name;
}

const CMemorySettingsStore::Value* CMemorySettingsStore::FindValue(const std::string& path,
                                                                   const std::string& name) const {
    auto key = m_keys.find(FoldPath(path));
    if (key == m_keys.end())
        return nullptr;
    auto value = key->second.values.find(Fold(name));
    return value == key->second.values.end() ? nullptr : &value->second;
}

std::vector<std::string> CMemorySettingsStore::ValueNames(const std::string& path) const {
    std::vector<std::string> names;
    auto key = m_keys.find(FoldPath(path));
    if (key != m_keys.end())
        for (const auto& entry : key->second.names)
            names.push_back(entry.second);
    return names;
}

std::vector<std::string> CMemorySettingsStore::SubKeyNames(const std::string& path) const {
    std::vector<std::string> names;
    std::string prefix = FoldPath(path) + "\\";
    for (const auto& [folded, key] : m_keys)
        if (folded.compare(0, prefix.size(), prefix) == 0 &&
            folded.find('\\', prefix.size()) == std::string::npos)
            names.push_back(key.path.substr(key.path.rfind('\\') + 1));
    return names;
}

void CMemorySettingsStore::DeleteKey(const std::string& path) {
    std::string folded = FoldPath(path);
    std::string prefix = folded + "\\";
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        if (it->first == folded || it->first.compare(0, prefix.size(), prefix) == 0)
            it = m_keys.erase(it);
        else
            ++it;
    }
}

// --- files -----------------------------------------------------------------

void CMemorySettingsStore::SetIni(IniFile& file, const std::string& section, const std::string& key,
                                  const std::string& value) {
    auto sameSection = [&](const Section& s) { return Fold(s.first) == Fold(section); };
    auto sectionIt = std::find_if(file.begin(), file.end(), sameSection);
    if (sectionIt == file.end())
        sectionIt = file.insert(file.end(), Section{section, {}});
    auto& entries = sectionIt->second;
    auto entryIt = std::find_if(entries.begin(), entries.end(),
                                [&](const auto& e) { return Fold(e.first) == Fold(key); });
    if (entryIt == entries.end())
        entries.emplace_back(key, value);
    else
        entryIt->second = value;
}

const std::string* CMemorySettingsStore::GetIni(const IniFile& file, const std::string& section,
                                                const std::string& key) {
    for (const Section& s : file) {
        if (Fold(s.first) != Fold(section))
            continue;
        for (const auto& entry : s.second)
            if (Fold(entry.first) == Fold(key))
                return &entry.second;
    }
    return nullptr;
}

DWORD CMemorySettingsStore::ReadWinIniText(LPCSTR section, LPCSTR key, LPCSTR defaultText,
                                           LPSTR buffer, DWORD size) {
    if (!buffer || size == 0)
        return 0;
    const std::string* found = section && key ? GetIni(m_winIni, section, key) : nullptr;
    std::string text = found ? *found : (defaultText ? defaultText : "");
    DWORD count = std::min<DWORD>(static_cast<DWORD>(text.size()), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}

bool CMemorySettingsStore::WriteIniText(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
    // Removing keys or sections (null key or value) is not needed, so not modelled.
    if (!section || !key || !value || !path)
        return false;
    std::string folded = FoldPath(path);
    size_t slash = folded.rfind('\\');
    if (slash == std::string::npos || m_folders.count(folded.substr(0, slash)) == 0)
        return false;
    if (m_folders.count(folded) != 0)
        return false;  // a folder is not a file
    auto& file = m_iniFiles[folded];
    if (file.first.empty())
        file.first = path;
    SetIni(file.second, section, key, value);
    m_journal.push_back(std::string("ini ") + path + " [" + section + "] " + key + "=" + value);
    return true;
}

FileStatus CMemorySettingsStore::GetFileStatus(LPCSTR path) {
    std::string folded = FoldPath(path ? path : "");
    if (m_unknownStatus.count(folded) != 0)
        return FileStatus::kUnknown;
    if (m_iniFiles.count(folded) != 0 || m_folders.count(folded) != 0)
        return FileStatus::kPresent;
    return FileStatus::kAbsent;
}

void CMemorySettingsStore::AddFolder(const std::string& path) {
    std::string folded = FoldPath(path);
    for (size_t end = 0; end != std::string::npos;) {
        end = folded.find('\\', end + 1);
        m_folders.insert(folded.substr(0, end));
    }
}

void CMemorySettingsStore::PutIniFile(const std::string& path, const IniFile& content) {
    std::string folded = FoldPath(path);
    size_t slash = folded.rfind('\\');
    if (slash != std::string::npos)
        AddFolder(folded.substr(0, slash));
    m_iniFiles[folded] = {path, content};
}

const CMemorySettingsStore::IniFile* CMemorySettingsStore::FindIniFile(
    const std::string& path) const {
    auto found = m_iniFiles.find(FoldPath(path));
    return found == m_iniFiles.end() ? nullptr : &found->second.second;
}

bool CMemorySettingsStore::GetIniValue(const std::string& path, const std::string& section,
                                       const std::string& key, std::string* pValue) const {
    const IniFile* file = FindIniFile(path);
    const std::string* value = file ? GetIni(*file, section, key) : nullptr;
    if (!value)
        return false;
    *pValue = *value;
    return true;
}

void CMemorySettingsStore::SetWinIniValue(const std::string& section, const std::string& key,
                                          const std::string& value) {
    SetIni(m_winIni, section, key, value);
}

void CMemorySettingsStore::SetFileStatusUnknown(const std::string& path) {
    m_unknownStatus.insert(FoldPath(path));
}
