/* A stand-in IPHLPAPI.DLL, as an attacker would place it beside a program:
 * loading it leaves a marker file beside it, naming the program that loaded
 * it. Its entry points report no interfaces: enough for a program that
 * imports it to start, and for the socket library's host-name look-up, which
 * asks it for the adapters, to carry on. */
#include <windows.h>

#define MARKER_NAME L"planted-library-loaded.txt"

static void LeaveMarker(HINSTANCE self) {
    wchar_t path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
        --n;
    lstrcpyW(path + n, MARKER_NAME);
    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, program, sizeof(program));
    DWORD written = 0;
    WriteFile(file, program, length, &written, NULL);
    CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        LeaveMarker(self);
    return TRUE;
}

__declspec(dllexport) ULONG WINAPI
    GetAdaptersAddresses(ULONG family, ULONG flags, PVOID reserved, PVOID addresses, PULONG size) {
    (void)family;
    (void)flags;
    (void)reserved;
    (void)addresses;
    (void)size;
    return ERROR_NO_DATA;
}

__declspec(dllexport) ULONG WINAPI GetAdaptersInfo(PVOID adapters, PULONG size) {
    (void)adapters;
    (void)size;
    return ERROR_NO_DATA;
}
