// The libraries the programs load at run time come from System32 only. An
// administrator may start Pellvane.exe from a downloads folder; a library of
// the same name placed there must never be loaded.
#pragma once

#include "framework/afx_types.h"

#ifdef _WIN32
#include <iphlpapi.h>
#endif

// Each program's entry point calls this before anything else: later loads by
// name search System32 only (where the platform supports that), and
// iphlpapi.dll, which the socket library also loads by name, is loaded from
// System32 now. Natively there is nothing to do: the loader never searches a
// program's own folder.
void LoadLibrariesFromSystem32Only();

#ifdef _WIN32
// GetAdaptersAddresses from System32's iphlpapi.dll. Where the library or its
// entry point cannot be had it returns ERROR_PROC_NOT_FOUND: the cards are
// not known, which is not the same as having none.
ULONG WINAPI SystemGetAdaptersAddresses(ULONG family, ULONG flags, PVOID reserved,
                                        PIP_ADAPTER_ADDRESSES addresses, PULONG size);

// The two loader calls a load from System32 makes, so that a test can play a
// Windows 7 whose loader lacks the System32 search flag.
struct SystemLoader {
    HMODULE(WINAPI* loadLibraryEx)(LPCWSTR name, HANDLE file, DWORD flags);
    UINT(WINAPI* getSystemDirectory)(LPWSTR buffer, UINT size);
};
const SystemLoader& PlatformLoader();

// Loads `name` from System32 through `loader`: by the search flag, or, where
// the loader refuses that flag (ERROR_INVALID_PARAMETER), by System32's full
// path, the library's own imports then searched from System32 too. Null with
// the loader's error when neither works.
HMODULE LoadFromSystem32(const wchar_t* name, const SystemLoader& loader);

// Resolves GetAdaptersAddresses afresh through `loader` (the program's start
// does this through the platform's); for tests.
void ResolveAdapterListFunction(const SystemLoader& loader);
#endif
