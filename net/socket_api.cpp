#include "net/socket_api.h"

#include "framework/system_libraries.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <iphlpapi.h>

#include <cstddef>
#include <vector>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32

int RealGetHostName(char* name, int length) {
    return ::gethostname(name, length);
}
const hostent* RealGetHostByName(const char* name) {
    return ::gethostbyname(name);
}
unsigned long RealInetAddr(const char* text) {
    return ::inet_addr(text);
}
SocketHandle RealSocket(int family, int type, int protocol) {
    return ::socket(family, type, protocol);
}
int RealSetSockOpt(SocketHandle s, int level, int name, const void* value, int length) {
    return ::setsockopt(s, level, name, static_cast<const char*>(value), length);
}
int RealBind(SocketHandle s, const sockaddr_in* address) {
    return ::bind(s, reinterpret_cast<const sockaddr*>(address), sizeof(*address));
}
int RealSendTo(SocketHandle s, const void* data, int length, const sockaddr_in* to) {
    return ::sendto(s, static_cast<const char*>(data), length, 0,
                    reinterpret_cast<const sockaddr*>(to), sizeof(*to));
}
int RealWaitReadable(SocketHandle s, int timeoutMs) {
    if (s == INVALID_SOCKET)
        return -1;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int n = ::select(0, &readable, nullptr, nullptr, &limit);
    return n == SOCKET_ERROR ? -1 : n;
}
int RealRecvFrom(SocketHandle s, void* buffer, int capacity, sockaddr_in* from) {
    int fromLength = sizeof(*from);
    int n = ::recvfrom(s, static_cast<char*>(buffer), capacity, 0,
                       reinterpret_cast<sockaddr*>(from), &fromLength);
    return n == SOCKET_ERROR ? -1 : n;  // WSAEMSGSIZE: datagram too long, discarded
}
int RealSetNonBlocking(SocketHandle s) {
    u_long on = 1;
    return ::ioctlsocket(s, FIONBIO, &on) == SOCKET_ERROR ? -1 : 0;
}
int RealRecvFromQueued(SocketHandle s, void* buffer, int capacity, sockaddr_in* from) {
    int n = RealRecvFrom(s, buffer, capacity, from);
    if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK)
        return kNothingQueued;
    return n;
}
int RealCloseSocket(SocketHandle s) {
    return ::closesocket(s);
}
int RealWaitAnyReadable(const SocketHandle* sockets, int count, int timeoutMs, bool* ready) {
    fd_set readable;
    FD_ZERO(&readable);
    for (int i = 0; i < count; ++i) {
        if (sockets[i] == INVALID_SOCKET || i >= FD_SETSIZE)
            return -1;
        FD_SET(sockets[i], &readable);
    }
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int n = ::select(0, &readable, nullptr, nullptr, &limit);
    if (n == SOCKET_ERROR)
        return -1;
    for (int i = 0; i < count; ++i)
        ready[i] = FD_ISSET(sockets[i], &readable) != 0;
    return n;
}
// The netmask of a prefix length; all ones where none is reported.
DWORD PrefixNetmask(const IP_ADAPTER_UNICAST_ADDRESS* unicast) {
    constexpr size_t kWithPrefix = offsetof(IP_ADAPTER_UNICAST_ADDRESS, OnLinkPrefixLength) + 1;
    const unsigned prefix = unicast->Length >= kWithPrefix ? unicast->OnLinkPrefixLength : 32;
    if (prefix == 0)
        return 0;
    return htonl(prefix >= 32 ? 0xFFFFFFFFu : ~0u << (32 - prefix));
}
int RealInterfaceAddresses(InterfaceAddress* addresses, int capacity) {
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list grows between the size query and the call when a card comes
    // up meanwhile: ask again a few times.
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = SystemGetAdaptersAddresses(
            AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result == ERROR_NO_DATA)
        return 0;
    if (result != NO_ERROR)
        return -1;
    int n = 0;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
            continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (!address || address->sa_family != AF_INET || n >= capacity)
                continue;
            addresses[n++] = {reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr,
                              PrefixNetmask(unicast)};
        }
    }
    return n;
}

#else

int RealGetHostName(char* name, int length) {
    return ::gethostname(name, static_cast<size_t>(length));
}
const hostent* RealGetHostByName(const char* name) {
    return ::gethostbyname(name);
}
unsigned long RealInetAddr(const char* text) {
    return static_cast<unsigned long>(static_cast<in_addr_t>(::inet_addr(text)));
}
SocketHandle RealSocket(int family, int type, int protocol) {
    return ::socket(family, type, protocol);
}
int RealSetSockOpt(SocketHandle s, int level, int name, const void* value, int length) {
    return ::setsockopt(s, level, name, value, static_cast<socklen_t>(length));
}
int RealBind(SocketHandle s, const sockaddr_in* address) {
    return ::bind(s, reinterpret_cast<const sockaddr*>(address), sizeof(*address));
}
int RealSendTo(SocketHandle s, const void* data, int length, const sockaddr_in* to) {
    ssize_t n = ::sendto(s, data, static_cast<size_t>(length), 0,
                         reinterpret_cast<const sockaddr*>(to), sizeof(*to));
    return n < 0 ? -1 : static_cast<int>(n);
}
int RealWaitReadable(SocketHandle s, int timeoutMs) {
    if (s < 0)
        return -1;
    pollfd p{s, POLLIN, 0};
    int n = ::poll(&p, 1, timeoutMs);
    return n < 0 ? -1 : n;
}
int ReceiveMessage(SocketHandle s, void* buffer, int capacity, sockaddr_in* from, int flags) {
    // recvmsg reports truncation, which Winsock reports as an error
    // (WSAEMSGSIZE): a datagram longer than the buffer is discarded.
    iovec part{buffer, static_cast<size_t>(capacity)};
    msghdr message{};
    message.msg_name = from;
    message.msg_namelen = sizeof(*from);
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t n = ::recvmsg(s, &message, flags);
    if (n < 0)
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? kNothingQueued : -1;
    if (message.msg_flags & MSG_TRUNC) {
        errno = EMSGSIZE;
        return -1;
    }
    return static_cast<int>(n);
}
int RealRecvFrom(SocketHandle s, void* buffer, int capacity, sockaddr_in* from) {
    int n = ReceiveMessage(s, buffer, capacity, from, 0);
    return n < 0 ? -1 : n;
}
int RealSetNonBlocking(SocketHandle s) {
    int flags = ::fcntl(s, F_GETFL);
    return flags < 0 ? -1 : ::fcntl(s, F_SETFL, flags | O_NONBLOCK);
}
int RealRecvFromQueued(SocketHandle s, void* buffer, int capacity, sockaddr_in* from) {
    return ReceiveMessage(s, buffer, capacity, from, MSG_DONTWAIT);
}
int RealCloseSocket(SocketHandle s) {
    return ::close(s);
}
int RealWaitAnyReadable(const SocketHandle* sockets, int count, int timeoutMs, bool* ready) {
    constexpr int kMost = 64;
    if (count > kMost)
        return -1;
    pollfd polled[kMost];
    for (int i = 0; i < count; ++i) {
        if (sockets[i] < 0)
            return -1;
        polled[i] = pollfd{sockets[i], POLLIN, 0};
    }
    int n = ::poll(polled, static_cast<nfds_t>(count), timeoutMs);
    if (n < 0)
        return -1;
    for (int i = 0; i < count; ++i)
        ready[i] = (polled[i].revents & (POLLIN | POLLERR)) != 0;
    return n;
}
int RealInterfaceAddresses(InterfaceAddress* addresses, int capacity) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return -1;
    int n = 0;
    for (ifaddrs* entry = list; entry && n < capacity; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        const sockaddr* mask = entry->ifa_netmask;
        addresses[n++] = {reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr,
                          mask && mask->sa_family == AF_INET
                              ? reinterpret_cast<const sockaddr_in*>(mask)->sin_addr.s_addr
                              : 0xFFFFFFFFu};
    }
    ::freeifaddrs(list);
    return n;
}

#endif

const SocketApi kRealSockets = {
    RealGetHostName,    RealGetHostByName,  RealInetAddr,        RealSocket,
    RealSetSockOpt,     RealBind,           RealSendTo,          RealWaitReadable,
    RealRecvFrom,       RealCloseSocket,    RealWaitAnyReadable, RealInterfaceAddresses,
    RealSetNonBlocking, RealRecvFromQueued,
};

const SocketApi* g_pSockets = &kRealSockets;

}  // namespace

const SocketApi& Sockets() {
    return *g_pSockets;
}
const SocketApi& RealSockets() {
    return kRealSockets;
}
void SetSocketApi(const SocketApi* api) {
    g_pSockets = api ? api : &kRealSockets;
}

int LastSocketError() {
#ifdef _WIN32
    return ::WSAGetLastError();
#else
    return errno;
#endif
}

void DescribeSocketError(int code, char* text, int capacity) {
    if (!text || capacity <= 0)
        return;
#ifdef _WIN32
    char message[160] = "";
    DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(code), 0, message, sizeof(message), nullptr);
    // The system's texts end in a full stop and a line break.
    while (length > 0 && (message[length - 1] == '\r' || message[length - 1] == '\n' ||
                          message[length - 1] == ' ' || message[length - 1] == '.'))
        message[--length] = '\0';
    if (length > 0)
        std::snprintf(text, static_cast<size_t>(capacity), "%s (error %d)", message, code);
    else
        std::snprintf(text, static_cast<size_t>(capacity), "error %d", code);
#else
    std::snprintf(text, static_cast<size_t>(capacity), "%s", std::strerror(code));
#endif
}

int StartSocketLibrary() {
#ifdef _WIN32
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data);
#else
    return 0;
#endif
}

int StopSocketLibrary() {
#ifdef _WIN32
    return WSACleanup();
#else
    return 0;
#endif
}
