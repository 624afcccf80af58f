#include "net/broadcast_channel.h"

#include <cerrno>
#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

#include "net/adapter_record.h"

BroadcastChannel* g_pBroadcastChannel = nullptr;

namespace {

// Answers of a large segment arrive together, faster than a slow machine takes
// them in: the socket holds what it can until the next drain. The platform's
// default drops most of them, so ask for the most it grants, from this down.
constexpr int kLargestReceiveBuffer = 32 * 1024 * 1024;
constexpr int kSmallestReceiveBuffer = 256 * 1024;

int SetFlag(SocketHandle s, int name) {
    int on = 1;
    return Sockets().setsockopt(s, SOL_SOCKET, name, &on, sizeof(on));
}

// 255.255.255.255, port 9029.
sockaddr_in BroadcastDestination() {
    sockaddr_in destination;
    std::memset(&destination, 0, sizeof(destination));
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = htonl(0xFFFFFFFFu);
    destination.sin_port = htons(kAdapterPort);
    return destination;
}

// snprintf that may cut the text short: a reason is for reading, and a
// long host name or error text ends it early rather than overflowing.
void FormatText(char* text, size_t capacity, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, capacity, format, arguments);
    va_end(arguments);
}

// "<what>: <the platform's text for the socket error just seen>".
void NoteSocketError(const char* what, char* reason, int capacity) {
    const int code = LastSocketError();  // before anything else can change it
    char text[80];
    DescribeSocketError(code, text, sizeof(text));
    FormatText(reason, static_cast<size_t>(capacity), "%s: %s", what, text);
}

// A datagram socket that may broadcast, bound to `local` with any port. The
// socket, or kInvalidSocket when none could be made; `bound` tells whether
// the bind succeeded, `reason` why not. Failures leave the usual diagnostics.
SocketHandle OpenBoundSocket(sockaddr_in& local, bool& bound, char* reason, int capacity) {
    bound = false;
    SocketHandle s = Sockets().socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == kInvalidSocket) {
        NoteSocketError("no socket could be made", reason, capacity);
        return s;
    }
    if (SetFlag(s, SO_BROADCAST) != 0)
        PrintDiagnostic("Can't set SO_BROADCAST option on broadcast");
    SetFlag(s, SO_REUSEADDR);
    for (int size = kLargestReceiveBuffer; size >= kSmallestReceiveBuffer; size /= 2) {
        if (Sockets().setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size)) == 0)
            break;
    }
    // Every receive follows a wait or must not block: a drain reads until
    // the socket is empty.
    Sockets().set_nonblocking(s);

    local.sin_port = 0;
    if (Sockets().bind(s, &local) != 0) {
        NoteSocketError("bind failed", reason, capacity);
        // perror's form, with the socket library's error: errno says nothing
        // about a Winsock call.
        std::fprintf(stderr, "Can't bind on broadcast: %s\n",
                     reason + std::strlen("bind failed: "));
        return s;
    }
    bound = true;
    reason[0] = '\0';
    return s;
}

// Adds `part` to a text of reasons, after ", and " when there are some.
void Append(char* text, size_t capacity, const char* part) {
    const size_t used = std::strlen(text);
    if (used + 1 < capacity)
        FormatText(text + used, capacity - used, "%s%s", used ? ", and " : "", part);
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

BroadcastChannel::BroadcastChannel() : socket(kInvalidSocket), m_readySocket(kInvalidSocket) {
    std::memset(hostName, 0, sizeof(hostName));
    std::memset(&localAddress, 0, sizeof(localAddress));
    std::memset(&broadcastAddress, 0, sizeof(broadcastAddress));

    Sockets().gethostname(hostName, sizeof(hostName));
    hostName[sizeof(hostName) - 1] = '\0';
    m_hostStatus.hostName = true;
    m_hostStatus.card.netmask = m_hostNetmask;
    if (ResolveAddress(hostName, localAddress) == 0) {
        std::memcpy(&m_hostStatus.card.address, &localAddress.sin_addr, sizeof(DWORD));
        bool bound = false;
        socket = OpenBoundSocket(localAddress, bound, m_hostStatus.reason, kReasonCapacity);
        m_bHostSocketBound = bound;
        m_hostStatus.bound = bound;
        if (bound)
            broadcastAddress = BroadcastDestination();
    } else {
        FormatText(m_hostStatus.reason, sizeof(m_hostStatus.reason),
                   "the computer's name %s has no IPv4 address", hostName);
    }
    m_statuses[0] = m_hostStatus;
    m_nStatuses = 1;
    RefreshCards();
}

BroadcastChannel::~BroadcastChannel() {
    Sockets().closesocket(socket);
    for (int i = 0; i < m_nCards; ++i)
        Sockets().closesocket(m_cards[i].socket);
}

void BroadcastChannel::RefreshCards() {
    InterfaceAddress listed[kMostListedAddresses];
    int count;
    try {
        count = Sockets().interface_addresses(listed, kMostListedAddresses);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        PrintDiagnostic("Can't list network cards");
        count = -1;
    }
    if (count < 0) {
        // Nothing known about the cards: keep the sockets there are.
        m_bListRead = false;
        m_statuses[0] = m_hostStatus;
        m_nStatuses = 1;
        for (int c = 0; c < m_nCards; ++c)
            m_statuses[m_nStatuses++] = {{m_cards[c].address, m_cards[c].netmask}, false, true, ""};
        m_statuses[m_nStatuses++] = {{0, 0}, false, false, "the network cards could not be listed"};
        NoteWhyNoSearch();
        return;
    }
    std::memcpy(m_listed, listed, sizeof(InterfaceAddress) * static_cast<size_t>(count));
    m_nListed = count;
    m_bListRead = true;

    // The subnets that have a socket: the host-name socket's first, since it
    // is there whatever the list says.
    InterfaceAddress served[kMostFurtherCards + 1];
    int nServed = 0;
    DWORD ownAddress = 0;
    std::memcpy(&ownAddress, &localAddress.sin_addr, sizeof(ownAddress));
    m_hostStatus.card.netmask = 0xFFFFFFFFu;
    for (int i = 0; i < count; ++i) {
        if (ownAddress != 0 && listed[i].address == ownAddress) {
            m_hostStatus.card.netmask = listed[i].netmask;
            break;
        }
    }
    if (m_bHostSocketBound) {
        served[nServed++] = m_hostStatus.card;
        m_hostNetmask = m_hostStatus.card.netmask;
    }
    // The address of the socket that serves a subnet holding `a`; 0 for none.
    auto servedBy = [&](const InterfaceAddress& a) -> DWORD {
        for (int k = 0; k < nServed; ++k) {
            const InterfaceAddress& s = served[k];
            if (s.address == a.address ||
                (s.netmask == a.netmask && ((s.address ^ a.address) & s.netmask) == 0))
                return s.address;
        }
        return 0;
    };

    // What became of each listed address; those left undecided by the
    // first pass get a socket or a reason in the second.
    CardStatus fates[kMostListedAddresses];
    bool decided[kMostListedAddresses] = {};
    Card kept[kMostFurtherCards];
    int nKept = 0;
    // Sockets that stay first, so that a subnet keeps the socket it has
    // even when the platform now lists another of its addresses before it.
    for (int i = 0; i < count && nKept < kMostFurtherCards; ++i) {
        if (servedBy(listed[i]))
            continue;
        for (int c = 0; c < m_nCards; ++c) {
            if (m_cards[c].address == listed[i].address && m_cards[c].socket != kInvalidSocket) {
                kept[nKept++] = {listed[i].address, listed[i].netmask, m_cards[c].socket};
                m_cards[c].socket = kInvalidSocket;
                served[nServed++] = listed[i];
                fates[i] = {listed[i], false, true, ""};
                decided[i] = true;
                break;
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        if (decided[i])
            continue;
        CardStatus& fate = fates[i];
        fate = {listed[i], false, false, ""};
        if (const DWORD by = servedBy(listed[i])) {
            FormatText(fate.reason, sizeof(fate.reason), "its subnet has a socket already (%s)",
                       FormatIPv4(by).GetString());
            continue;
        }
        if (nKept >= kMostFurtherCards) {
            FormatText(fate.reason, sizeof(fate.reason), "more than %d further cards",
                       kMostFurtherCards);
            continue;
        }
        sockaddr_in local;
        std::memset(&local, 0, sizeof(local));
        local.sin_family = AF_INET;
        std::memcpy(&local.sin_addr, &listed[i].address, sizeof(listed[i].address));
        bool bound = false;
        SocketHandle s = OpenBoundSocket(local, bound, fate.reason, sizeof(fate.reason));
        if (!bound) {
            // An unbound socket would broadcast through whichever card the
            // system picks: skip the address until the next refresh; another
            // of its subnet may still serve.
            if (s != kInvalidSocket)
                Sockets().closesocket(s);
            continue;
        }
        fate.bound = true;
        kept[nKept++] = {listed[i].address, listed[i].netmask, s};
        served[nServed++] = listed[i];
    }
    for (int c = 0; c < m_nCards; ++c) {
        if (m_cards[c].socket != kInvalidSocket)
            Sockets().closesocket(m_cards[c].socket);
    }
    std::memcpy(m_cards, kept, sizeof(Card) * static_cast<size_t>(nKept));
    m_nCards = nKept;
    m_readySocket = kInvalidSocket;
    m_emptySockets = 0;
    NoteCardStatuses(listed, count, fates);
    NoteWhyNoSearch();
}

void BroadcastChannel::NoteCardStatuses(const InterfaceAddress* listed, int count,
                                        const CardStatus* fates) {
    m_statuses[0] = m_hostStatus;
    m_nStatuses = 1;
    for (int i = 0; i < count && m_nStatuses < kMostCardStatuses; ++i) {
        // The host-name socket's own address is the first entry already.
        if (m_bHostSocketBound && listed[i].address == m_hostStatus.card.address)
            continue;
        m_statuses[m_nStatuses++] = fates[i];
    }
}

void BroadcastChannel::NoteWhyNoSearch() {
    char* text = m_noSearchReason;
    const size_t capacity = sizeof(m_noSearchReason);
    text[0] = '\0';
    if (m_bListRead && m_nListed == 0) {
        FormatText(text, capacity, "no network card is up with an IPv4 address");
        return;
    }
    if (m_bHostSocketBound || m_nCards > 0)
        return;
    if (!m_bListRead)
        Append(text, capacity, "the network cards could not be listed");
    if (m_hostStatus.card.address == 0)
        Append(text, capacity, m_hostStatus.reason);
    // The first card whose socket failed names the error.
    for (int i = 0; i < m_nStatuses; ++i) {
        const CardStatus& status = m_statuses[i];
        if (status.bound || status.card.address == 0)
            continue;
        char part[kReasonCapacity + 64];
        FormatText(part, sizeof(part), "no card could be opened for broadcasts (%s: %s)",
                   FormatIPv4(status.card.address).GetString(), status.reason);
        Append(text, capacity, part);
        break;
    }
    if (text[0] == '\0')
        FormatText(text, capacity, "no card could be opened for broadcasts");
}

int BroadcastChannel::GetCardStatuses(CardStatus* statuses, int capacity) const {
    int n = 0;
    for (; n < m_nStatuses && n < capacity; ++n)
        statuses[n] = m_statuses[n];
    return n;
}

bool BroadcastChannel::CanSearch() const {
    return m_noSearchReason[0] == '\0';
}

int BroadcastChannel::GetWorkstationAddresses(InterfaceAddress* addresses, int capacity) const {
    int n = 0;
    if (localAddress.sin_family == AF_INET && n < capacity) {
        std::memcpy(&addresses[n].address, &localAddress.sin_addr, sizeof(DWORD));
        addresses[n].netmask = m_hostNetmask;
        if (addresses[n].address != 0)
            ++n;
    }
    for (int i = 0; i < m_nListed && n < capacity; ++i)
        addresses[n++] = m_listed[i];
    return n;
}

InterfaceAddress BroadcastChannel::CardOfSocket(int index) const {
    if (m_bHostSocketBound) {
        if (index == 0) {
            InterfaceAddress own{0, m_hostNetmask};
            std::memcpy(&own.address, &localAddress.sin_addr, sizeof(own.address));
            return own;
        }
        --index;
    }
    if (index < 0 || index >= m_nCards)
        return {0, 0};
    return {m_cards[index].address, m_cards[index].netmask};
}

int BroadcastChannel::GatherSockets(SocketHandle* sockets) const {
    int n = 0;
    if (m_bHostSocketBound)
        sockets[n++] = socket;
    for (int i = 0; i < m_nCards; ++i)
        sockets[n++] = m_cards[i].socket;
    return n;
}

int BroadcastChannel::SendToBroadcast(const void* data, int length) {
    int result = -1;
    if (socket != kInvalidSocket && broadcastAddress.sin_family != 0)
        result = Sockets().sendto(socket, data, length, &broadcastAddress);
    const sockaddr_in destination = BroadcastDestination();
    for (int i = 0; i < m_nCards; ++i) {
        int sent = Sockets().sendto(m_cards[i].socket, data, length, &destination);
        if (sent >= 0)
            result = sent;
    }
    return result;
}

int BroadcastChannel::WaitReadable(int seconds) {
    return WaitReadableMs(seconds * 1000);
}

int BroadcastChannel::WaitReadableMs(int milliseconds) {
    if (milliseconds < 0)
        milliseconds = 0;
    auto start = std::chrono::steady_clock::now();
    m_readySocket = kInvalidSocket;
    m_emptySockets = 0;
    SocketHandle sockets[kMostFurtherCards + 1];
    int count = GatherSockets(sockets);
    int ready;
    if (count <= 1) {
        // One card: the very wait the channel has always made. Without a
        // socket the platform's wait fails at once.
        SocketHandle only = count == 1 ? sockets[0] : kInvalidSocket;
        ready = Sockets().wait_readable(only, milliseconds);
        if (ready > 0)
            m_readySocket = only;
    } else {
        bool readable[kMostFurtherCards + 1] = {};
        ready = Sockets().wait_any_readable(sockets, count, milliseconds, readable);
        // Take turns among ready sockets, so a busy card cannot starve another.
        for (int k = 0; ready > 0 && k < count; ++k) {
            int i = (m_nNextFirst + k) % count;
            if (readable[i]) {
                m_readySocket = sockets[i];
                m_nNextFirst = i + 1;
                break;
            }
        }
    }
    if (ready < 0) {
        // Let the failed wait last its time: a caller's loop must not spin.
        SleepUntil(start + std::chrono::milliseconds(milliseconds));
    }
    return ready;
}

int BroadcastChannel::ReceiveDatagram(void* buffer, int capacity) {
    SocketHandle from = m_readySocket;
    if (from == kInvalidSocket && m_bHostSocketBound)
        from = socket;
    m_readySocket = kInvalidSocket;
    m_lastReceiveCard = {0, 0};
    if (from == kInvalidSocket)
        return -1;
    sockaddr_in sender;
    std::memset(&sender, 0, sizeof(sender));
    int length = Sockets().recvfrom(from, buffer, capacity, &sender);
    if (length >= 0) {
        SocketHandle sockets[kMostFurtherCards + 1];
        const int count = GatherSockets(sockets);
        for (int i = 0; i < count; ++i) {
            if (sockets[i] == from)
                m_lastReceiveCard = CardOfSocket(i);
        }
    }
    return length;
}

int BroadcastChannel::ReceiveQueued(void* buffer, int capacity) {
    m_readySocket = kInvalidSocket;
    m_lastReceiveCard = {0, 0};
    SocketHandle sockets[kMostFurtherCards + 1];
    const int count = GatherSockets(sockets);
    // One datagram from each card in turn: a card flooded faster than it is
    // read must not keep the others' answers waiting, nor hide those that
    // reach a card after it was found empty.
    constexpr int kReceivedBetweenRetries = 64;
    if (++m_nSinceRetry >= kReceivedBetweenRetries) {
        m_emptySockets = 0;
        m_nSinceRetry = 0;
    }
    for (int k = 0; k < count; ++k) {
        int i = (m_nNextQueued + k) % count;
        if (m_emptySockets & (1u << i))
            continue;
        sockaddr_in sender;
        int n = Sockets().recvfrom_queued(sockets[i], buffer, capacity, &sender);
        if (n == kNothingQueued) {
            m_emptySockets |= 1u << i;
            continue;
        }
        m_nNextQueued = i + 1;
        if (n >= 0)
            m_lastReceiveCard = CardOfSocket(i);
        return n;
    }
    return kNothingQueued;
}

int BroadcastChannel::DiscardPending(int milliseconds) {
    // Bounded by time: a peer flooding the port must not hold up the caller,
    // and with it the window, however fast its datagrams come. The few a
    // normal exchange leaves behind go whatever the clock says, so a thread
    // descheduled here cannot let a stale answer through; every card gets
    // that allowance, the time bound is shared.
    constexpr int kAlwaysDiscarded = 32;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    SocketHandle sockets[kMostFurtherCards + 1];
    const int count = GatherSockets(sockets);
    int discarded = 0;
    char scratch[1];
    sockaddr_in from;
    for (int i = 0; i < count; ++i) {
        for (int here = 0;; ++here) {
            if (here >= kAlwaysDiscarded && std::chrono::steady_clock::now() >= end)
                break;
            if (Sockets().wait_readable(sockets[i], 0) <= 0)
                break;
            Sockets().recvfrom(sockets[i], scratch, sizeof(scratch), &from);
            ++discarded;
        }
    }
    m_readySocket = kInvalidSocket;
    return discarded;
}

int OpenChannel() {
    if (g_pBroadcastChannel)
        return 0;
    g_pBroadcastChannel = new (std::nothrow) BroadcastChannel();
    if (!g_pBroadcastChannel) {
        errno = ENOMEM;
        PrintDiagnostic("Can't allocate broadcast channel");
        return -1;
    }
    return 0;
}

void CloseChannel() {
    delete g_pBroadcastChannel;
    g_pBroadcastChannel = nullptr;
}
