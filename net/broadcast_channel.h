// The broadcast channel: the UDP sockets that carry all traffic with the
// adapters, sent to 255.255.255.255 port 9029 and answered to the sender.
// The first socket is bound to the address the host name resolves to; each
// further subnet of the workstation (a second network card) gets a socket of
// its own, bound to its first address, since a broadcast leaves only through
// the card of the address it was sent from. One socket per subnet: a second
// socket on a segment would carry every request to it twice. One
// process-wide instance, opened and closed by the adapter table.
#pragma once

#include "net/socket_api.h"

constexpr unsigned short kAdapterPort = 9029;

class BroadcastChannel {
public:
    // The opening sequence. Never throws: out of memory while the cards are
    // listed leaves the channel with the host-name socket alone.
    BroadcastChannel();
    ~BroadcastChannel();
    BroadcastChannel(const BroadcastChannel&) = delete;
    BroadcastChannel& operator=(const BroadcastChannel&) = delete;

    // Reads the workstation's addresses again: a subnet that got an address
    // since the last call gets a socket, the socket of an address that has
    // gone (or whose subnet another socket now serves) is closed; a socket
    // whose address stays is kept. The host-name socket stays as it was
    // opened and serves its own subnet (the mask the list gives its address;
    // only itself when the list lacks it), unless its bind failed. A list
    // that cannot be read, for lack of memory too, keeps the sockets there
    // are.
    void RefreshCards();

    // Sends one datagram through every socket. Bytes sent, or -1 when no
    // socket could send it (no socket, no destination, send errors).
    int SendToBroadcast(const void* data, int length);
    // Waits on every socket at once. >0 when a datagram is ready, 0 on
    // time-out, <0 on error. An error (or a channel without a socket) still
    // takes the whole wait, so callers that loop on it never spin.
    int WaitReadable(int seconds);
    int WaitReadableMs(int milliseconds);
    // Length of the datagram, or -1 on error (including a datagram longer than
    // `capacity`, which is discarded). Reads from the socket the last wait
    // found ready, else from the host-name socket if it is bound. The sender
    // is not reported.
    int ReceiveDatagram(void* buffer, int capacity);
    // The next datagram already queued on any socket, without waiting, the
    // cards taking turns; kNothingQueued once every socket has been found
    // empty since the last wait (one found empty is tried again now and
    // then). Lengths and errors as ReceiveDatagram.
    int ReceiveQueued(void* buffer, int capacity);
    // Throws away the datagrams already queued on every socket, for at most
    // about `milliseconds` once the first few are gone; returns how many.
    int DiscardPending(int milliseconds);

    // Sockets beyond the host-name one; further subnets are left unused.
    static constexpr int kMostFurtherCards = 15;
    // Addresses read from the list; more are not looked at.
    static constexpr int kMostListedAddresses = 64;
    struct Card {
        DWORD address;  // network order
        DWORD netmask;  // network order; the subnet the socket serves
        SocketHandle socket;
    };
    int GetFurtherCardCount() const { return m_nCards; }
    const Card& GetFurtherCard(int index) const { return m_cards[index]; }

    // What the channel made of each card: the host-name card (as opened,
    // with the netmask the list gives its address), then each address the
    // latest refresh listed, in the list's order (the host name's own address
    // only when its socket is unbound and the address got a socket attempt of
    // its own). When the latest list could not be read, the cards that kept
    // their sockets follow instead, then an entry with a zero address for the
    // list itself.
    static constexpr int kReasonCapacity = 96;
    struct CardStatus {
        InterfaceAddress card;  // network order; a zero address for none
        bool hostName;          // the socket bound to the host name's address
        bool bound;             // its socket carries the traffic
        // Why not, e.g. "bind failed: <error>", "its subnet has a socket
        // already (10.231.0.1)", "more than 15 further cards"; empty when bound.
        char reason[kReasonCapacity];
    };
    static constexpr int kMostCardStatuses = kMostListedAddresses + 1;
    // Copies at most `capacity` statuses in the order above; how many.
    int GetCardStatuses(CardStatus* statuses, int capacity) const;
    // A search can reach someone: the host-name socket or a further card is
    // bound, and the latest list (when it could be read) had a card up. A
    // host name from a hosts file still resolves with every card down.
    bool CanSearch() const;
    // Why CanSearch() is false, e.g. "no network card is up with an IPv4
    // address", "the network cards could not be listed, and the computer's
    // name pellvane-ws has no IPv4 address", "no card could be opened for
    // broadcasts (10.231.0.1: bind failed: <error>)"; empty when it can.
    const char* GetNoSearchReason() const { return m_noSearchReason; }

    // The card (its address and netmask) whose socket the latest datagram
    // was received on; zero for both before the first, and after a failed
    // receive.
    InterfaceAddress GetLastReceiveCard() const { return m_lastReceiveCard; }
    // This workstation's own addresses, as the last refresh listed them, and
    // the host-name address; how many were written (at most `capacity`).
    int GetWorkstationAddresses(InterfaceAddress* addresses, int capacity) const;

    char hostName[256];
    sockaddr_in localAddress;
    sockaddr_in broadcastAddress;
    SocketHandle socket;

private:
    // Every socket that can carry traffic, host-name socket first (only when
    // bound: on Windows an unbound one fails every receive, which a drain
    // would take neither for "empty" nor for an answer); returns how many.
    int GatherSockets(SocketHandle* sockets) const;
    // The card of the socket at `index` in GatherSockets' order.
    InterfaceAddress CardOfSocket(int index) const;

    // Record the statuses from the list's cards and their fates, and why no
    // search can be made.
    void NoteCardStatuses(const InterfaceAddress* listed, int count, const CardStatus* fates);
    void NoteWhyNoSearch();

    bool m_bHostSocketBound = false;
    CardStatus m_hostStatus = {};
    CardStatus m_statuses[kMostCardStatuses];
    int m_nStatuses = 0;
    bool m_bListRead = false;  // the latest refresh could read the list
    char m_noSearchReason[448] = "";
    DWORD m_hostNetmask = 0xFFFFFFFFu;  // the subnet the host-name socket serves
    InterfaceAddress m_listed[kMostListedAddresses];
    int m_nListed = 0;
    InterfaceAddress m_lastReceiveCard = {0, 0};
    Card m_cards[kMostFurtherCards];
    int m_nCards = 0;
    SocketHandle m_readySocket;   // found by the last wait, until read
    int m_nNextFirst = 0;         // where the next pick among ready sockets starts
    int m_nNextQueued = 0;        // the same for receiving what is queued
    unsigned m_emptySockets = 0;  // bit i: socket i found empty since the last wait
    int m_nSinceRetry = 0;        // receives since empty sockets were last tried again
};

// The process-wide channel, or null when none exists.
extern BroadcastChannel* g_pBroadcastChannel;

// Creates the process-wide channel if it does not exist yet. 0 when it
// exists; -1, with a diagnostic, when there is no memory for it.
int OpenChannel();
// Closes the channel's socket, frees the channel and clears the pointer.
void CloseChannel();

// Fills `address` from a dotted IPv4 address or a host name. 0 on success;
// -1 when the text is neither (the address is then zero but for its family).
int ResolveAddress(LPCSTR text, sockaddr_in& address);

// One diagnostic line on stderr in the C library's error-printing form.
void PrintDiagnostic(LPCSTR message);
