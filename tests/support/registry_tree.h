// Removes a registry key under HKEY_LOCAL_MACHINE with everything below it,
// in the given view (KEY_WOW64_32KEY or KEY_WOW64_64KEY), so Wine tests can
// start from and leave behind a clean registry.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>

#include <string>

void DeleteRegistryTree(const std::string& path, REGSAM view);
#endif
