#include "net/socket_api.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <cerrno>
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
int RealCloseSocket(SocketHandle s) {
    return ::closesocket(s);
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
int RealRecvFrom(SocketHandle s, void* buffer, int capacity, sockaddr_in* from) {
    // recvmsg reports truncation, which Winsock reports as an error
    // (WSAEMSGSIZE): a datagram longer than the buffer is discarded.
    iovec part{buffer, static_cast<size_t>(capacity)};
    msghdr message{};
    message.msg_name = from;
    message.msg_namelen = sizeof(*from);
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t n = ::recvmsg(s, &message, 0);
    if (n < 0)
        return -1;
    if (message.msg_flags & MSG_TRUNC) {
        errno = EMSGSIZE;
        return -1;
    }
    return static_cast<int>(n);
}
int RealCloseSocket(SocketHandle s) {
    return ::close(s);
}

#endif

const SocketApi kRealSockets = {
    RealGetHostName, RealGetHostByName, RealInetAddr,     RealSocket,   RealSetSockOpt,
    RealBind,        RealSendTo,        RealWaitReadable, RealRecvFrom, RealCloseSocket,
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
