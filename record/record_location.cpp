#include "record/record_location.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>

#include "framework/text_encoding.h"
#endif

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';

// The environment's %ProgramData% as the platform sets it for every process;
// the known folder where a stripped environment lacks it.
std::string SharedDataFolder() {
    wchar_t buffer[MAX_PATH];
    DWORD length = ::GetEnvironmentVariableW(L"ProgramData", buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return WideToUtf8(std::wstring(buffer, length));
    PWSTR known = nullptr;
    std::string folder = "C:\\ProgramData";
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &known)))
        folder = WideToUtf8(known);
    ::CoTaskMemFree(known);
    return folder;
}
#else
constexpr char kSeparator = '/';

std::string SharedDataFolder() {
    const char* folder = std::getenv("ProgramData");
    return folder && folder[0] ? folder : "/var/lib";
}
#endif

}  // namespace

std::string RecordFolderPath() {
    std::string folder = SharedDataFolder();
    if (!folder.empty() && folder.back() != kSeparator)
        folder += kSeparator;
    return folder + "Pellvane";
}

std::string RecordFilePath() {
    return RecordFolderPath() + kSeparator + "changes.jsonl";
}
