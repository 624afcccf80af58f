#include "framework/system_libraries.h"

#ifdef _WIN32
#include <cstdio>
#include <string>

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

GetAdaptersAddressesFunction g_adapterList = nullptr;
bool g_bAdapterListResolved = false;

GetAdaptersAddressesFunction AdapterListFunction() {
    if (!g_bAdapterListResolved)
        ResolveAdapterListFunction(PlatformLoader());
    return g_adapterList;
}

}  // namespace

const SystemLoader& PlatformLoader() {
    static const SystemLoader s_loader = {::LoadLibraryExW, ::GetSystemDirectoryW};
    return s_loader;
}

HMODULE LoadFromSystem32(const wchar_t* name, const SystemLoader& loader) {
    // The flag needs Windows 8 or the KB2533623 update on Windows 7.
    HMODULE module = loader.loadLibraryEx(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || ::GetLastError() != ERROR_INVALID_PARAMETER)
        return module;
    // Without it: System32's full path; the altered search order looks for
    // the library's own imports beside it, never in the program's folder.
    wchar_t folder[MAX_PATH];
    const UINT length = loader.getSystemDirectory(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        if (length != 0)
            ::SetLastError(ERROR_BUFFER_OVERFLOW);
        return nullptr;
    }
    std::wstring path(folder, length);
    if (path.back() != L'\\')
        path += L'\\';
    path += name;
    return loader.loadLibraryEx(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void ResolveAdapterListFunction(const SystemLoader& loader) {
    g_adapterList = LookUp<GetAdaptersAddressesFunction>(LoadFromSystem32(L"iphlpapi.dll", loader),
                                                         "GetAdaptersAddresses");
    g_bAdapterListResolved = true;
    if (!g_adapterList)
        std::fprintf(stderr,
                     "iphlpapi.dll: GetAdaptersAddresses not found in System32 "
                     "(error %lu): only the host name's address is used\n",
                     ::GetLastError());
}

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
        return ERROR_PROC_NOT_FOUND;
    return function(family, flags, reserved, addresses, size);
}

#else

void LoadLibrariesFromSystem32Only() {}

#endif
