#include "net/broadcast_channel.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

BroadcastChannel* g_pBroadcastChannel = nullptr;

namespace {

// Enough room for a thousand small answers arriving at once (a large segment);
// the platform's default buffer drops most of them.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

int SetFlag(SocketHandle s, int name) {
    int on = 1;
    return Sockets().setsockopt(s, SOL_SOCKET, name, &on, sizeof(on));
}

// Sleeps until the deadline has really passed: a platform timer may wake a
// little early, and a caller that then waits "the rest" would spin.
void SleepUntil(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        std::this_thread::sleep_for(left);
    }
}

}  // namespace

void PrintDiagnostic(LPCSTR message) {
    std::perror(message);
}

int ResolveAddress(LPCSTR text, sockaddr_in& address) {
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    if (!text)
        return -1;

    unsigned long parsed = Sockets().inet_addr(text);
    if (parsed != 0xFFFFFFFFul) {  // INADDR_NONE: also what 255.255.255.255 parses to
        address.sin_addr.s_addr = static_cast<decltype(address.sin_addr.s_addr)>(parsed);
        return 0;
    }

    const hostent* host = Sockets().gethostbyname(text);
    if (!host || !host->h_addr_list || !host->h_addr_list[0])
        return -1;
    address.sin_family = static_cast<decltype(address.sin_family)>(host->h_addrtype);
    size_t length = host->h_length > 0 ? static_cast<size_t>(host->h_length) : 0;
    if (length > sizeof(address.sin_addr))
        length = sizeof(address.sin_addr);
    std::memcpy(&address.sin_addr, host->h_addr_list[0], length);
    return 0;
}

BroadcastChannel::BroadcastChannel() : socket(kInvalidSocket) {
    std::memset(hostName, 0, sizeof(hostName));
    std::memset(&localAddress, 0, sizeof(localAddress));
    std::memset(&broadcastAddress, 0, sizeof(broadcastAddress));

    Sockets().gethostname(hostName, sizeof(hostName));
    hostName[sizeof(hostName) - 1] = '\0';
    if (ResolveAddress(hostName, localAddress) != 0)
        return;

    socket = Sockets().socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == kInvalidSocket)
        return;

    if (SetFlag(socket, SO_BROADCAST) != 0)
        PrintDiagnostic("Can't set SO_BROADCAST option on broadcast");
    SetFlag(socket, SO_REUSEADDR);
    int receiveBuffer = kReceiveBufferBytes;
    Sockets().setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));

    localAddress.sin_port = 0;
    if (Sockets().bind(socket, &localAddress) != 0) {
        PrintDiagnostic("Can't bind on broadcast");
        return;
    }
    broadcastAddress.sin_family = AF_INET;
    broadcastAddress.sin_addr.s_addr = htonl(0xFFFFFFFFu);
    broadcastAddress.sin_port = htons(kAdapterPort);
}

BroadcastChannel::~BroadcastChannel() {
    Sockets().closesocket(socket);
}

int BroadcastChannel::SendToBroadcast(const void* data, int length) {
    if (socket == kInvalidSocket || broadcastAddress.sin_family == 0)
        return -1;
    return Sockets().sendto(socket, data, length, &broadcastAddress);
}

int BroadcastChannel::WaitReadable(int seconds) {
    return WaitReadableMs(seconds * 1000);
}

int BroadcastChannel::WaitReadableMs(int milliseconds) {
    if (milliseconds < 0)
        milliseconds = 0;
    auto start = std::chrono::steady_clock::now();
    // Without a socket the platform's wait fails at once, and is then made
    // to last its time like any other failed wait.
    int ready = Sockets().wait_readable(socket, milliseconds);
    if (ready < 0) {
        // Let the failed wait last its time: a caller's loop must not spin.
        SleepUntil(start + std::chrono::milliseconds(milliseconds));
    }
    return ready;
}

int BroadcastChannel::ReceiveDatagram(void* buffer, int capacity) {
    if (socket == kInvalidSocket)
        return -1;
    sockaddr_in from;
    std::memset(&from, 0, sizeof(from));
    return Sockets().recvfrom(socket, buffer, capacity, &from);
}

int BroadcastChannel::DiscardPending(int milliseconds) {
    if (socket == kInvalidSocket)
        return 0;
    // Bounded by time: a peer flooding the port must not hold up the caller,
    // and with it the window, however fast its datagrams come. The few a
    // normal exchange leaves behind go whatever the clock says, so a thread
    // descheduled here cannot let a stale answer through.
    constexpr int kAlwaysDiscarded = 32;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    int discarded = 0;
    char scratch[1];
    sockaddr_in from;
    for (;;) {
        if (discarded >= kAlwaysDiscarded && std::chrono::steady_clock::now() >= end)
            break;
        if (Sockets().wait_readable(socket, 0) <= 0)
            break;
        Sockets().recvfrom(socket, scratch, sizeof(scratch), &from);
        ++discarded;
    }
    return discarded;
}

int OpenChannel() {
    if (g_pBroadcastChannel)
        return 0;
    g_pBroadcastChannel = new (std::nothrow) BroadcastChannel();
    return 0;
}

void CloseChannel() {
    delete g_pBroadcastChannel;
    g_pBroadcastChannel = nullptr;
}
