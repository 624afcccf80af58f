#include "tests/net/fake_sockets.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "net/broadcast_channel.h"

namespace {

// The table of plain functions has no context argument: the calls find the
// installed fake here.
FakeSockets* g_pFake = nullptr;

// The lookup's result lives here, as the platform keeps it in its own storage.
hostent g_host;
std::vector<char> g_hostAddress;
char* g_hostAddressList[2];

int FakeGetHostName(char* name, int length) {
    std::strncpy(name, g_pFake->hostName.c_str(), static_cast<size_t>(length));
    return 0;
}

const hostent* FakeGetHostByName(const char* name) {
    g_pFake->lookups.push_back(name ? name : "");
    if (g_pFake->lookupAddress.empty())
        return nullptr;
    int length = g_pFake->lookupLength >= 0 ? g_pFake->lookupLength
                                            : static_cast<int>(g_pFake->lookupAddress.size());
    // Padded, so a copy of the announced length never reads past the fake's data.
    g_hostAddress.assign(g_pFake->lookupAddress.begin(), g_pFake->lookupAddress.end());
    if (g_hostAddress.size() < static_cast<size_t>(length))
        g_hostAddress.resize(static_cast<size_t>(length));
    g_hostAddressList[0] = g_hostAddress.data();
    g_hostAddressList[1] = nullptr;
    std::memset(&g_host, 0, sizeof(g_host));
    g_host.h_addrtype = static_cast<decltype(g_host.h_addrtype)>(g_pFake->lookupFamily);
    g_host.h_length = static_cast<decltype(g_host.h_length)>(length);
    g_host.h_addr_list = g_hostAddressList;
    return &g_host;
}

// As the platform leaves it for LastSocketError.
void SetSocketError(int code) {
#ifdef _WIN32
    ::WSASetLastError(code);
#else
    errno = code;
#endif
}

// Dotted addresses are parsed by the real library: the fake only replaces
// what touches the network or the machine's configuration.
unsigned long FakeInetAddr(const char* text) {
    return RealSockets().inet_addr(text);
}

SocketHandle FakeSocket(int, int, int) {
    ++g_pFake->socketCalls;
    SocketHandle s = g_pFake->socketResult;
    if (s == kInvalidSocket) {
        SetSocketError(g_pFake->socketError);
        return s;
    }
    while (g_pFake->m_open.count(s))
        ++s;
    g_pFake->m_open.insert(s);
    return s;
}

int FakeSetSockOpt(SocketHandle, int level, int name, const void* value, int length) {
    int v = 0;
    if (length == static_cast<int>(sizeof(v)))
        std::memcpy(&v, value, sizeof(v));
    g_pFake->options.push_back({level, name, v, length});
    if (name == SO_RCVBUF && g_pFake->largestReceiveBuffer && v > g_pFake->largestReceiveBuffer)
        return -1;
    return g_pFake->failingOptions.count(name) ? -1 : 0;
}

int FakeBind(SocketHandle s, const sockaddr_in* address) {
    g_pFake->binds.push_back(*address);
    for (const auto& refused : g_pFake->refusedBinds) {
        if (AddressBytes(*address) == refused) {
            SetSocketError(g_pFake->socketError);
            return -1;
        }
    }
    if (g_pFake->bindResult == 0)
        g_pFake->m_bound.insert(s);
    else
        SetSocketError(g_pFake->socketError);
    return g_pFake->bindResult;
}

// Moves the arrivals whose time has come onto the socket.
void DeliverArrivals() {
    if (!g_pFake->m_bSent)
        return;
    auto now = std::chrono::steady_clock::now();
    auto& arrivals = g_pFake->arrivalsAfterSend;
    while (!arrivals.empty() &&
           g_pFake->m_firstSend + std::chrono::milliseconds(arrivals.front().afterMs) <= now) {
        g_pFake->QueueOf(arrivals.front().on).push_back(arrivals.front().bytes);
        arrivals.pop_front();
    }
}

int FakeSendTo(SocketHandle s, const void* data, int length, const sockaddr_in* to) {
    if (!g_pFake->m_bSent) {
        g_pFake->m_bSent = true;
        g_pFake->m_firstSend = std::chrono::steady_clock::now();
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    g_pFake->sent.emplace_back(bytes, bytes + length);
    g_pFake->sentTo.push_back(*to);
    g_pFake->sentFrom.push_back(s);
    return g_pFake->sendFails ? -1 : length;
}

bool HasDatagram(SocketHandle s) {
    return !g_pFake->QueueOf(s).empty() || (s == FakeSockets::kSocket && !g_pFake->flood.empty());
}

int FakeWaitAnyReadable(const SocketHandle* sockets, int count, int timeoutMs, bool* ready) {
    ++g_pFake->waits;
    for (int i = 0; i < count; ++i) {
        if (sockets[i] == kInvalidSocket)
            return -1;  // as the platform does, at once
        g_pFake->waitedOn.insert(sockets[i]);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        DeliverArrivals();
        int n = 0;
        for (int i = 0; i < count; ++i) {
            ready[i] = HasDatagram(sockets[i]);
            n += ready[i] ? 1 : 0;
        }
        if (n > 0)
            return n;
        if (g_pFake->waitFails)
            return -1;
        const auto& arrivals = g_pFake->arrivalsAfterSend;
        if (g_pFake->m_bSent && !arrivals.empty()) {
            auto next = g_pFake->m_firstSend + std::chrono::milliseconds(arrivals.front().afterMs);
            if (next < deadline) {
                // A sleep that ends a little early just comes round again.
                std::this_thread::sleep_until(next);
                continue;
            }
        }
        std::this_thread::sleep_until(deadline);
        return 0;
    }
}

int FakeWaitReadable(SocketHandle s, int timeoutMs) {
    bool ready = false;
    return FakeWaitAnyReadable(&s, 1, timeoutMs, &ready);
}

int FakeInterfaceAddresses(InterfaceAddress* addresses, int capacity) {
    if (g_pFake->interfaceListFails)
        return -1;
    const std::vector<std::vector<unsigned char>>& masks = g_pFake->interfaceNetmasks;
    int n = 0;
    for (const auto& bytes : g_pFake->interfaceAddresses) {
        if (n >= capacity)
            break;
        const size_t i = static_cast<size_t>(n);
        const std::vector<unsigned char> mask =
            i < masks.size() ? masks[i] : std::vector<unsigned char>{255, 255, 255, 0};
        std::memcpy(&addresses[n].address, bytes.data(), sizeof(DWORD));
        std::memcpy(&addresses[n].netmask, mask.data(), sizeof(DWORD));
        ++n;
    }
    return n;
}

int Receive(SocketHandle s, void* buffer, int capacity, sockaddr_in* from, bool queuedOnly) {
    ++g_pFake->receives;
    g_pFake->receivedFrom.insert(s);
    if (!g_pFake->m_bound.count(s))
        return -1;  // WSAEINVAL, whether or not anything is queued
    DeliverArrivals();
    g_pFake->receiveCapacities.push_back(capacity);
    std::vector<unsigned char> datagram;
    auto& queue = g_pFake->QueueOf(s);
    if (!queue.empty()) {
        datagram = queue.front();
        queue.pop_front();
    } else if (s == FakeSockets::kSocket && !g_pFake->flood.empty()) {
        std::this_thread::sleep_for(FakeSockets::kFloodReceiveCost);
        datagram = g_pFake->flood;
    } else {
        return queuedOnly ? kNothingQueued : -1;
    }
    // As the platform does: a datagram longer than the buffer is an error
    // and is gone.
    if (datagram.size() > static_cast<size_t>(capacity))
        return -1;
    if (!datagram.empty())
        std::memcpy(buffer, datagram.data(), datagram.size());
    if (from) {
        std::memset(from, 0, sizeof(*from));
        from->sin_family = AF_INET;
        from->sin_port = htons(kAdapterPort);
    }
    return static_cast<int>(datagram.size());
}

int FakeRecvFrom(SocketHandle s, void* buffer, int capacity, sockaddr_in* from) {
    return Receive(s, buffer, capacity, from, false);
}

int FakeRecvFromQueued(SocketHandle s, void* buffer, int capacity, sockaddr_in* from) {
    return Receive(s, buffer, capacity, from, true);
}

int FakeSetNonBlocking(SocketHandle s) {
    g_pFake->nonBlocking.insert(s);
    return 0;
}

int FakeCloseSocket(SocketHandle s) {
    g_pFake->closed.push_back(s);
    g_pFake->m_open.erase(s);
    g_pFake->m_bound.erase(s);
    return 0;
}

}  // namespace

FakeSockets::FakeSockets()
    : m_api{FakeGetHostName,    FakeGetHostByName, FakeInetAddr,        FakeSocket,
            FakeSetSockOpt,     FakeBind,          FakeSendTo,          FakeWaitReadable,
            FakeRecvFrom,       FakeCloseSocket,   FakeWaitAnyReadable, FakeInterfaceAddresses,
            FakeSetNonBlocking, FakeRecvFromQueued} {
    g_pFake = this;
    SetSocketApi(&m_api);
}

FakeSockets::~FakeSockets() {
    CloseChannel();
    SetSocketApi(nullptr);
    g_pFake = nullptr;
}

std::vector<unsigned char> AddressBytes(const sockaddr_in& address) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&address.sin_addr);
    return std::vector<unsigned char>(p, p + sizeof(address.sin_addr));
}

std::vector<unsigned char> PortBytes(const sockaddr_in& address) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&address.sin_port);
    return std::vector<unsigned char>(p, p + sizeof(address.sin_port));
}
