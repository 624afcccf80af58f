#include "tests/support/process_text.h"

#include <algorithm>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

unsigned long CurrentProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

#ifdef _WIN32
std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            backslashes = backslashes * 2 + 1;
        quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

DWORD WaitForExit(PROCESS_INFORMATION& info, DWORD fallback) {
    DWORD code = fallback;
    if (::WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(info.hProcess, &code);
    else
        ::TerminateProcess(info.hProcess, fallback);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return code;
}
#endif

std::string PlatformPath(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path.insert(0, "Z:");
    }
#endif
    return path;
}

std::string UnixPath(std::string path) {
#ifdef _WIN32
    if (path.size() >= 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') {
        path.erase(0, 2);
        std::replace(path.begin(), path.end(), '\\', '/');
    }
#endif
    return path;
}
