// The record file on Windows: the folder made with its own protected access
// list, both checked through handles opened without following links.
#include "record/record_file.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "framework/text_encoding.h"
#include "record/record_guard.h"
#include "record/record_location.h"

namespace {

// Owner Administrators; SYSTEM and Administrators full control, Users read
// and list; protected, so that nothing of the shared folder's "users may
// add" is inherited.
constexpr wchar_t kFolderSecurity[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length ? std::wstring(text, length) : std::wstring();
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L'.' || message.back() == L' '))
        message.pop_back();
    if (message.empty())
        return "error " + std::to_string(error);
    return WideToUtf8(message);
}

// The platform's reason, and what to do where it is a matter of rights.
std::string Because(DWORD error) {
    std::string reason = SystemMessage(error);
    if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_OWNER ||
        error == ERROR_PRIVILEGE_NOT_HELD)
        reason += " (recording a change needs administrator rights)";
    return reason;
}

std::string SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!sid || !::ConvertSidToStringSidW(sid, &text))
        return std::string();
    std::string result = WideToUtf8(text);
    ::LocalFree(text);
    return result;
}

std::string AccountName(PSID sid) {
    wchar_t name[256], domain[256];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use;
    if (!sid || !::LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use))
        return std::string();
    return WideToUtf8(domainLength ? std::wstring(domain) + L"\\" + name : std::wstring(name));
}

// The account this program runs as, when it runs elevated; "" otherwise.
std::string ElevatedOwnSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::string();
    TOKEN_ELEVATION elevation = {};
    DWORD length = 0;
    BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    std::string sid;
    if (::GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &length) &&
        elevation.TokenIsElevated &&
        ::GetTokenInformation(token, TokenUser, user, sizeof(user), &length))
        sid = SidText(reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
    ::CloseHandle(token);
    return sid;
}

// What the handle's object is and who may change it; false with the
// platform's error where it cannot tell.
bool ReadFacts(HANDLE handle, DWORD attributesByName, bool isFolder, PathFacts& facts,
               DWORD& error) {
    BY_HANDLE_FILE_INFORMATION info = {};
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!::GetFileInformationByHandle(handle, &info) ||
        !::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag))) {
        error = ::GetLastError();
        return false;
    }
    const DWORD attributes = info.dwFileAttributes | tag.FileAttributes |
                             (attributesByName == INVALID_FILE_ATTRIBUTES ? 0 : attributesByName);
    facts.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.isRightKind = isFolder ? folder : !folder && ::GetFileType(handle) == FILE_TYPE_DISK;
    facts.linkCount = info.nNumberOfLinks;

    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    error = ::GetSecurityInfo(handle, SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &acl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS)
        return false;
    facts.ownerSid = SidText(owner);
    facts.ownerName = AccountName(owner);
    facts.hasAccessList = acl != nullptr;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(acl, i, reinterpret_cast<void**>(&header)))
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE)
            continue;
        // Both kinds share their layout up to the SID.
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        PSID sid = &ace->SidStart;
        AccessEntry entry;
        entry.allow = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
        entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        entry.mask = ace->Mask;
        entry.sid = SidText(sid);
        entry.name = AccountName(sid);
        facts.entries.push_back(std::move(entry));
    }
    ::LocalFree(descriptor);
    return true;
}

}  // namespace

CRecordFile::~CRecordFile() {
    Close();
}

void CRecordFile::Close() {
    if (m_hFile)
        ::CloseHandle(m_hFile);
    m_hFile = nullptr;
}

bool CRecordFile::IsOpen() const {
    return m_hFile != nullptr;
}

bool CRecordFile::Open() {
    Close();
    const std::string folder = RecordFolderPath();
    m_strPath = RecordFilePath();
    const std::wstring wideFolder = Utf8ToWide(folder);
    const std::wstring widePath = Utf8ToWide(m_strPath);

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderSecurity, SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return Fail(folder + " cannot be created: " + SystemMessage(::GetLastError()));
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    const BOOL created = ::CreateDirectoryW(wideFolder.c_str(), &attributes);
    const DWORD createError = ::GetLastError();
    ::LocalFree(descriptor);
    if (!created && createError != ERROR_ALREADY_EXISTS)
        return Fail(folder + " cannot be created: " + Because(createError));

    // The folder stays open, and may not be renamed or removed, until the
    // file in it is open and checked.
    HANDLE folderHandle = ::CreateFileW(
        wideFolder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folderHandle == INVALID_HANDLE_VALUE)
        return Fail(folder + " cannot be opened: " + Because(::GetLastError()));
    const std::string ownSid = ElevatedOwnSid();
    PathFacts facts;
    DWORD error = 0;
    std::string refusal;
    if (!ReadFacts(folderHandle, ::GetFileAttributesW(wideFolder.c_str()), true, facts, error))
        refusal = folder + "'s owner and access list cannot be read: " + Because(error);
    else
        refusal = JudgeRecordPath(folder, true, facts, ownSid);
    if (!refusal.empty()) {
        ::CloseHandle(folderHandle);
        return Fail(refusal);
    }

    HANDLE file = ::CreateFileW(
        widePath.c_str(), FILE_APPEND_DATA | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        ::CloseHandle(folderHandle);
        return Fail(m_strPath + " cannot be opened for appending: " + Because(error));
    }
    m_hFile = file;
    facts = PathFacts();
    if (!ReadFacts(file, ::GetFileAttributesW(widePath.c_str()), false, facts, error))
        refusal = m_strPath + "'s owner and access list cannot be read: " + Because(error);
    else
        refusal = JudgeRecordPath(m_strPath, false, facts, ownSid);
    ::CloseHandle(folderHandle);
    if (!refusal.empty())
        return Fail(refusal);
    m_strProblem.clear();
    return true;
}

bool CRecordFile::Append(const std::string& line) {
    if (!m_hFile)
        return Fail(m_strPath + " is not open");
    DWORD written = 0;
    if (!::WriteFile(m_hFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return Fail(m_strPath + " could not be written: " + SystemMessage(::GetLastError()));
    if (written != line.size())
        return Fail(ShortWriteProblem(static_cast<size_t>(written), line.size()));
    if (!::FlushFileBuffers(m_hFile))
        return Fail(m_strPath +
                    " could not be written to the disk: " + SystemMessage(::GetLastError()));
    return true;
}
