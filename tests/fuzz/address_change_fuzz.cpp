// libFuzzer target for the address change. Every input is first checked as
// one datagram against the answer rule. Then it is read as a whole exchange:
// an address text, datagrams already queued on the socket, and datagrams that
// arrive after the request; the exchange runs over a scripted socket library
// whose waits never block, and the outcome is checked against what those
// datagrams allow.
#include <arpa/inet.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "net/address_change.h"
#include "net/broadcast_channel.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool FollowsAnswerRule(const unsigned char* data, size_t size) {
    return size >= 9 && size <= 256 && std::memcmp(data, "IFCONFIG ", 9) == 0;
}

// --- the scripted socket library ---
std::deque<Bytes> g_queued;        // on the socket now
std::deque<Bytes> g_afterRequest;  // arrive with the first send
std::vector<Bytes> g_sent;
hostent g_host;
unsigned char g_hostAddress[4] = {10, 231, 0, 1};
char* g_hostAddressList[2] = {reinterpret_cast<char*>(g_hostAddress), nullptr};

int ScriptGetHostName(char* name, int length) {
    std::strncpy(name, "fuzz-ws", static_cast<size_t>(length));
    return 0;
}
// Only the workstation's own name resolves: every other text must be dotted.
const hostent* ScriptGetHostByName(const char* name) {
    if (std::strcmp(name, "fuzz-ws") != 0)
        return nullptr;
    g_host.h_addrtype = AF_INET;
    g_host.h_length = 4;
    g_host.h_addr_list = g_hostAddressList;
    return &g_host;
}
unsigned long ScriptInetAddr(const char* text) {
    return RealSockets().inet_addr(text);
}
SocketHandle ScriptSocket(int, int, int) {
    return 7;
}
int ScriptSetSockOpt(SocketHandle, int, int, const void*, int) {
    return 0;
}
int ScriptBind(SocketHandle, const sockaddr_in*) {
    return 0;
}
int ScriptSendTo(SocketHandle, const void* data, int length, const sockaddr_in*) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    g_sent.emplace_back(p, p + length);
    while (!g_afterRequest.empty()) {
        g_queued.push_back(g_afterRequest.front());
        g_afterRequest.pop_front();
    }
    return length;
}
int ScriptWaitReadable(SocketHandle, int) {
    return g_queued.empty() ? 0 : 1;
}
int ScriptRecvFrom(SocketHandle, void* buffer, int capacity, sockaddr_in*) {
    if (g_queued.empty())
        return -1;
    Bytes datagram = g_queued.front();
    g_queued.pop_front();
    if (datagram.size() > static_cast<size_t>(capacity))
        return -1;
    if (!datagram.empty())
        std::memcpy(buffer, datagram.data(), datagram.size());
    return static_cast<int>(datagram.size());
}
int ScriptCloseSocket(SocketHandle) {
    return 0;
}
int ScriptWaitAnyReadable(const SocketHandle*, int, int, bool*) {
    return -1;  // never called: the workstation has one card
}
int ScriptInterfaceAddresses(InterfaceAddress*, int) {
    return 0;
}
int ScriptSetNonBlocking(SocketHandle) {
    return 0;
}
int ScriptRecvFromQueued(SocketHandle, void*, int, sockaddr_in*) {
    return kNothingQueued;  // the address change never drains
}

const SocketApi kScript = {ScriptGetHostName,    ScriptGetHostByName,   ScriptInetAddr,
                           ScriptSocket,         ScriptSetSockOpt,      ScriptBind,
                           ScriptSendTo,         ScriptWaitReadable,    ScriptRecvFrom,
                           ScriptCloseSocket,    ScriptWaitAnyReadable, ScriptInterfaceAddresses,
                           ScriptSetNonBlocking, ScriptRecvFromQueued};

// Reads the input: one byte of text length, the text, one byte with the
// number of stale datagrams, then datagrams as a length byte (doubled, so a
// 257-byte datagram can occur) and their bytes.
struct Exchange {
    std::string text;
    std::vector<Bytes> stale, answers;
};

Exchange Split(const uint8_t* data, size_t size) {
    Exchange exchange;
    size_t at = 0;
    auto next = [&]() -> unsigned { return at < size ? data[at++] : 0u; };
    size_t textLength = next() % 32;
    while (textLength-- && at < size)
        exchange.text += static_cast<char>(data[at++]);
    unsigned staleCount = next() % 4;
    while (at < size) {
        size_t length = 2u * next();
        length += next() & 1u;
        if (length > size - at)
            length = size - at;
        Bytes datagram(data + at, data + at + length);
        at += length;
        (exchange.stale.size() < staleCount ? exchange.stale : exchange.answers)
            .push_back(datagram);
    }
    return exchange;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int length = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    Check(IsAddressChangeAnswer(data, length) == FollowsAnswerRule(data, size));

    SetSocketApi(&kScript);
    OpenChannel();
    Check(g_pBroadcastChannel && g_pBroadcastChannel->socket == 7);

    Exchange exchange = Split(data, size);
    g_queued.assign(exchange.stale.begin(), exchange.stale.end());
    g_afterRequest.assign(exchange.answers.begin(), exchange.answers.end());
    g_sent.clear();

    AdapterRecord record;
    std::memset(&record, 0x5A, sizeof(record));
    record.family = kFamilyIPv4;
    const AdapterRecord before = record;

    const int result = SendAddressChange(exchange.text.c_str(), record);

    // The address the text stands for: four decimal numbers without leading
    // zeros (the only numeric form sent, which the strict parser reads), or
    // the one name that resolves.
    in_addr parsed{};
    bool resolves = inet_pton(AF_INET, exchange.text.c_str(), &parsed) == 1;
    DWORD address = static_cast<DWORD>(parsed.s_addr);
    if (!resolves && std::strcmp(exchange.text.c_str(), "fuzz-ws") == 0) {
        resolves = true;
        std::memcpy(&address, g_hostAddress, 4);
    }
    bool acceptable = resolves && IsAssignableAdapterAddress(address);
    bool confirmed = false;
    for (const Bytes& answer : exchange.answers)
        confirmed = confirmed || FollowsAnswerRule(answer.data(), answer.size());

    Check(g_sent.size() == (acceptable ? 1u : 0u));
    Check(result == (acceptable && confirmed ? 0 : -1));
    if (!g_sent.empty()) {
        const Bytes& request = g_sent[0];
        Check(request.size() == 28);
        Check(std::memcmp(request.data(), "PRUX IFCONFIG\0\0\0", 16) == 0);
        Check(std::memcmp(request.data() + 16, &address, 4) == 0);
        Check(std::memcmp(request.data() + 20, before.hardware, 8) == 0);
    }
    AdapterRecord expected = before;
    if (result == 0)
        expected.address = address;
    Check(std::memcmp(&record, &expected, sizeof(record)) == 0);
    return 0;
}
