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
// entry point is missing it returns ERROR_NO_DATA: no further cards.
ULONG WINAPI SystemGetAdaptersAddresses(ULONG family, ULONG flags, PVOID reserved,
                                        PIP_ADAPTER_ADDRESSES addresses, PULONG size);
#endif
