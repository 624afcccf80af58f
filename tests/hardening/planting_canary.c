/* Imports IPHLPAPI.DLL as the programs once did. Started beside the stand-in,
 * it shows that the stand-in is what such a program gets: exit code 0 when
 * the stand-in answered (it reports ERROR_NO_DATA; the system's library asks
 * for a larger buffer), 1 when the system's library did. */
#include <windows.h>

__declspec(dllimport) ULONG WINAPI
    GetAdaptersAddresses(ULONG family, ULONG flags, PVOID reserved, PVOID addresses, PULONG size);

int main(void) {
    ULONG size = 0;
    return GetAdaptersAddresses(0 /* AF_UNSPEC */, 0, NULL, NULL, &size) == ERROR_NO_DATA ? 0 : 1;
}
