#include "record/record_origin.h"

#include <chrono>

#ifdef _WIN32
#include <windows.h>

#include "framework/text_encoding.h"
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// DOMAIN\name of the process's token; its SID where no name is known.
std::string ProcessAccount() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return "unknown";
    BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    DWORD length = 0;
    std::string account = "unknown";
    if (::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length)) {
        PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
        wchar_t name[256], domain[256];
        DWORD nameLength = 256, domainLength = 256;
        SID_NAME_USE use;
        if (::LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use))
            account = WideToUtf8(std::wstring(domain) + L"\\" + name);
    }
    ::CloseHandle(token);
    return account;
}

std::string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &length) ? WideToUtf8(std::wstring(name, length)) : "unknown";
}
#else
std::string ComputerName() {
    char name[256] = {};
    return ::gethostname(name, sizeof(name) - 1) == 0 ? name : "unknown";
}

std::string ProcessAccount() {
    const passwd* entry = ::getpwuid(::geteuid());
    return ComputerName() + "\\" + (entry ? entry->pw_name : std::to_string(::geteuid()));
}
#endif

}  // namespace

RecordOrigin CurrentOrigin(const char* program) {
    using namespace std::chrono;
    RecordOrigin origin;
    origin.time = FormatRecordTime(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
    origin.user = ProcessAccount();
    origin.workstation = ComputerName();
    origin.program = program;
    origin.version = PELLVANE_VERSION_TEXT;
    return origin;
}
