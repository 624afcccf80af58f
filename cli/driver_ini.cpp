#include "cli/driver_ini.h"

#ifdef _WIN32

#include <winsock2.h>
#include <windows.h>

#include <cstring>

IniSection ReadIniSection(const std::string& path, const char* section) {
    // The profile functions' own limit for a section.
    std::vector<char> buffer(32767);
    const DWORD length = ::GetPrivateProfileSectionA(
        section, buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    IniSection entries;
    // "key=value\0key=value\0\0"
    for (DWORD at = 0; at < length && buffer[at] != '\0';) {
        const std::string line(&buffer[at]);
        at += static_cast<DWORD>(line.size()) + 1;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            entries.emplace_back(line, std::string());
        else
            entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return entries;
}

#endif
