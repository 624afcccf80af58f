#include "framework/system_libraries.h"

#ifdef _WIN32
#include <cstdio>

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using GetAdaptersAddressesFunction = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES,
                                                    PULONG);

// GetProcAddress returns a generic function pointer; the detour through
// void (*)() is the conversion GCC accepts without a cast-function-type warning.
template <typename Function>
Function LookUp(HMODULE module, const char* name) {
    if (!module)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

HMODULE LoadFromSystem32(const wchar_t* name) {
    // The flag needs Windows 8 or the KB2533623 update on Windows 7; without
    // it the call fails rather than search elsewhere.
    return ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

GetAdaptersAddressesFunction AdapterListFunction() {
    static const GetAdaptersAddressesFunction s_function = [] {
        auto function = LookUp<GetAdaptersAddressesFunction>(LoadFromSystem32(L"iphlpapi.dll"),
                                                             "GetAdaptersAddresses");
        if (!function)
            std::fprintf(stderr,
                         "iphlpapi.dll: GetAdaptersAddresses not found in System32 "
                         "(error %lu): only the host name's address is used\n",
                         ::GetLastError());
        return function;
    }();
    return s_function;
}

}  // namespace

void LoadLibrariesFromSystem32Only() {
    // Looked up, not imported: a Windows 7 without the update still starts.
    auto setDefaultDirectories = LookUp<SetDefaultDllDirectoriesFunction>(
        ::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDirectories)
        setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    AdapterListFunction();
}

ULONG WINAPI SystemGetAdaptersAddresses(ULONG family, ULONG flags, PVOID reserved,
                                        PIP_ADAPTER_ADDRESSES addresses, PULONG size) {
    GetAdaptersAddressesFunction function = AdapterListFunction();
    if (!function)
        return ERROR_NO_DATA;
    return function(family, flags, reserved, addresses, size);
}

#else

void LoadLibrariesFromSystem32Only() {}

#endif
