// A thin shim over Winsock and BSD sockets: the handful of calls the channel
// makes, behind one table of functions so tests can stand in for a failing
// platform. The default table calls the real socket library.
#pragma once

#include "framework/afx_types.h"

#ifdef _WIN32
using SocketHandle = SOCKET;
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
using SocketHandle = int;
#endif

constexpr SocketHandle kInvalidSocket = static_cast<SocketHandle>(~static_cast<SocketHandle>(0));

// What a receive that must not wait returns when no datagram is queued.
constexpr int kNothingQueued = -2;

// One IPv4 address of a card and the netmask of its subnet, both in network
// order. A mask the platform does not report is all ones: the address is then
// a subnet of its own.
struct InterfaceAddress {
    DWORD address;
    DWORD netmask;
};

struct SocketApi {
    int (*gethostname)(char* name, int length);
    // Returns the host entry or null; the entry is the library's own storage.
    const hostent* (*gethostbyname)(const char* name);
    // Dotted-address parser; returns the all-ones address (INADDR_NONE) on failure.
    unsigned long (*inet_addr)(const char* text);
    SocketHandle (*socket)(int family, int type, int protocol);
    int (*setsockopt)(SocketHandle s, int level, int name, const void* value, int length);
    int (*bind)(SocketHandle s, const sockaddr_in* address);
    int (*sendto)(SocketHandle s, const void* data, int length, const sockaddr_in* to);
    // >0 readable, 0 time-out, <0 error. Waits at most timeoutMs milliseconds;
    // on kInvalidSocket it fails at once.
    int (*wait_readable)(SocketHandle s, int timeoutMs);
    // Length of the datagram, or -1 on error, including a datagram longer
    // than `capacity` (it is discarded, as Winsock does).
    int (*recvfrom)(SocketHandle s, void* buffer, int capacity, sockaddr_in* from);
    int (*closesocket)(SocketHandle s);
    // The same wait over `count` sockets: >0 when at least one is readable,
    // with ready[i] set for each that is; 0 time-out; <0 error, at once when
    // a handle is kInvalidSocket.
    int (*wait_any_readable)(const SocketHandle* sockets, int count, int timeoutMs, bool* ready);
    // The IPv4 addresses of the interfaces that are up and not loopback, with
    // their netmasks, in the platform's order; at most `capacity` of them.
    // Returns how many, or -1 when the platform cannot list them.
    int (*interface_addresses)(InterfaceAddress* addresses, int capacity);
    // Puts the socket in non-blocking mode; 0 on success. A wait still comes
    // before every receive that must have a datagram.
    int (*set_nonblocking)(SocketHandle s);
    // recvfrom that never waits: kNothingQueued when the socket is empty.
    // Needs a non-blocking socket on Windows.
    int (*recvfrom_queued)(SocketHandle s, void* buffer, int capacity, sockaddr_in* from);
};

// The table in use, and the real one. Tests swap in their own and restore it.
const SocketApi& Sockets();
const SocketApi& RealSockets();
void SetSocketApi(const SocketApi* api);  // null restores the real table

// The error of the socket call that failed last on this thread: Winsock's
// own on Windows (errno says nothing there), errno elsewhere. Read it right
// after the failing call.
int LastSocketError();
// The platform's text for such an error, e.g. "Cannot assign requested
// address"; on Windows with the number, e.g. "... (error 10049)".
void DescribeSocketError(int code, char* text, int capacity);

// Socket library start and stop (Winsock 1.1 on Windows; nothing elsewhere).
int StartSocketLibrary();
int StopSocketLibrary();
