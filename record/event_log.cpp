// The record of changes in the Application log. Each event's insertion
// strings, in the order its message (change_events.mc) numbers them:
//   %1 time (UTC)  %2 user  %3 workstation  %4 program  %5 version, then
//   1000 assignment saved:  %6 system number  %7 old type  %8 old host
//        %9 new type  %10 new host  %11 driver settings file ("none known"
//        when empty)  %12 reason
//   1001 address changed, 1002 not confirmed:  %6 MAC address  %7 old address
//        %8 new address  %9 the card it was heard through  %10 outcome
//        ("confirmed" or "not confirmed")  %11 forced ("yes" or "no")
//        %12 findings (joined with "; ", "none" when there are none)  %13 reason
//   1003 change refused:  %6 the change  %7 why its record could not be written
// An absent reason is "none given".
#include "record/event_log.h"

#include <windows.h>

#include <vector>

#include "change_events.h"
#include "framework/text_encoding.h"

namespace {

constexpr wchar_t kSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Pellvane";
// ReportEventW refuses a longer string. The record file keeps the whole text;
// the event gets it shortened, with an ellipsis to say so.
constexpr size_t kMaxStringLength = 31839;

std::wstring InsertionString(const std::string& utf8) {
    std::wstring text = Utf8ToWide(utf8);
    if (text.size() > kMaxStringLength) {
        size_t keep = kMaxStringLength - 1;
        if (IS_HIGH_SURROGATE(text[keep - 1]))
            --keep;
        text.resize(keep);
        text += L'\u2026';
    }
    return text;
}

bool Report(WORD type, DWORD id, const std::vector<std::string>& values) {
    std::vector<std::wstring> texts;
    std::vector<LPCWSTR> strings;
    texts.reserve(values.size());
    for (const std::string& value : values) {
        texts.push_back(InsertionString(value));
        strings.push_back(texts.back().c_str());
    }
    HANDLE source = ::RegisterEventSourceW(nullptr, L"Pellvane");
    if (!source)
        return false;
    const BOOL reported =
        ::ReportEventW(source, type, 0, id, nullptr, static_cast<WORD>(strings.size()), 0,
                       strings.data(), nullptr);
    ::DeregisterEventSource(source);
    return reported != FALSE;
}

std::vector<std::string> OriginStrings(const RecordOrigin& origin) {
    return {origin.time, origin.user, origin.workstation, origin.program, origin.version};
}

std::string Joined(const std::vector<std::string>& findings) {
    if (findings.empty())
        return "none";
    std::string text = findings.front();
    for (size_t i = 1; i < findings.size(); ++i)
        text += "; " + findings[i];
    return text;
}

// The running program's folder, ending in its separator; "" if unknown.
std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // truncated: a long path
    }
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

}  // namespace

bool ReportChangeEvent(const ChangeRecord& record) {
    std::vector<std::string> values = OriginStrings(record.origin);
    const std::string reason = record.reason ? *record.reason : "none given";
    if (record.action == ChangeRecord::Action::kAssign) {
        const AssignmentChange& change = record.assignment;
        values.insert(
            values.end(),
            {std::to_string(change.system), change.oldType, change.oldHost, change.newType,
             change.newHost, change.driverFile.empty() ? "none known" : change.driverFile, reason});
        return Report(EVENTLOG_INFORMATION_TYPE, PV_EVENT_ASSIGNMENT_SAVED, values);
    }
    const AddressChange& change = record.address;
    values.insert(values.end(), {change.mac, change.oldAddress, change.newAddress, change.via,
                                 change.confirmed ? "confirmed" : "not confirmed",
                                 change.forced ? "yes" : "no", Joined(change.findings), reason});
    if (change.confirmed)
        return Report(EVENTLOG_INFORMATION_TYPE, PV_EVENT_ADDRESS_CHANGED, values);
    return Report(EVENTLOG_WARNING_TYPE, PV_EVENT_ADDRESS_NOT_CONFIRMED, values);
}

bool ReportRefusedChangeEvent(const RecordOrigin& origin, const std::string& change,
                              const std::string& why) {
    std::vector<std::string> values = OriginStrings(origin);
    values.insert(values.end(), {change, why});
    return Report(EVENTLOG_ERROR_TYPE, PV_EVENT_CHANGE_REFUSED, values);
}

void RegisterMissingEventSource() {
    // The 64-bit view, where the event log service reads, from the 32-bit
    // build too (HKLM\SYSTEM is shared between the views on Windows anyway).
    constexpr REGSAM kView = KEY_WOW64_64KEY;
    HKEY key = nullptr;
    const LSTATUS found =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, KEY_QUERY_VALUE | kView, &key);
    if (found == ERROR_SUCCESS)
        ::RegCloseKey(key);
    if (found != ERROR_FILE_NOT_FOUND)
        return;
    const std::wstring folder = ProgramFolder();
    if (folder.empty())
        return;
    const std::wstring messageFile = folder + L"Pellvane.exe";
    // pellvane-cli.exe copied away on its own has no message file to name.
    const DWORD attributes = ::GetFileAttributesW(messageFile.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    DWORD disposition = 0;
    // A standard user may not create it: the package registers the source.
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE | kView, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return;
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    const bool written =
        ::RegSetValueExW(
            key, L"EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(messageFile.c_str()),
            static_cast<DWORD>((messageFile.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
        ::RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&types), sizeof(types)) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    // A key without its values would keep every later run from registering.
    if (!written && disposition == REG_CREATED_NEW_KEY)
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, kView, 0);
}
