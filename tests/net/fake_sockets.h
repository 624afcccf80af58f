// A scriptable stand-in for the socket library, installed through SetSocketApi
// for the lifetime of one FakeSockets object. It plays a platform whose calls
// fail on demand and whose socket receives queued datagrams, and it records
// what the code under test asked of it.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "net/socket_api.h"

class FakeSockets {
public:
    // Installs the fake. The destructor closes any process-wide channel while
    // the fake is still in place (its socket is the fake's, not a real one),
    // then restores the real socket library.
    FakeSockets();
    ~FakeSockets();
    FakeSockets(const FakeSockets&) = delete;
    FakeSockets& operator=(const FakeSockets&) = delete;

    static constexpr SocketHandle kSocket = 4242;

    // --- the script ---
    std::string hostName = "fake-ws";
    // Host-name lookups find these address bytes (none: the lookup fails).
    std::vector<unsigned char> lookupAddress;
    int lookupFamily = AF_INET;
    int lookupLength = -1;  // -1: the size of lookupAddress
    // The first socket; further ones get the next free handles, as a
    // platform hands out the lowest free descriptor.
    SocketHandle socketResult = kSocket;
    // The workstation's cards: the interface list reports these addresses
    // (none by default, so the host-name socket is the only one), each with
    // the netmask at the same place in interfaceNetmasks, 255.255.255.0
    // where that list ends.
    std::vector<std::vector<unsigned char>> interfaceAddresses;
    std::vector<std::vector<unsigned char>> interfaceNetmasks;
    bool interfaceListFails = false;
    std::vector<std::vector<unsigned char>> refusedBinds;  // bind fails for these addresses
    std::set<int> failingOptions;  // setsockopt fails for these option names
    int largestReceiveBuffer = 0;  // SO_RCVBUF above it fails; 0: no limit
    int bindResult = 0;
    // The socket error a failing bind or socket call leaves (LastSocketError).
    static constexpr int kSocketError = 10049;
    int socketError = kSocketError;
    bool sendFails = false;
    // Datagrams the socket kSocket receives, oldest first. A wait finds one at
    // once; with none queued it takes its whole time and reports a time-out.
    std::deque<std::vector<unsigned char>> datagrams;
    // The same for the further sockets.
    std::map<SocketHandle, std::deque<std::vector<unsigned char>>> cardDatagrams;
    bool waitFails = false;  // every wait fails at once with an error
    // A flood that never ends: when nothing else is queued, a wait finds this
    // datagram ready at once and a receive gets it, each receive taking at
    // least kFloodReceiveCost as on a busy machine. Empty: no flood.
    std::vector<unsigned char> flood;
    static constexpr std::chrono::microseconds kFloodReceiveCost{100};
    // Datagrams that arrive `afterMs` milliseconds after the first send, as
    // answers to a request do; give them in order of arrival. A wait ends
    // early when one of them arrives within its time.
    struct Arrival {
        int afterMs;
        std::vector<unsigned char> bytes;
        SocketHandle on;
    };
    std::deque<Arrival> arrivalsAfterSend;

    // --- what was asked ---
    struct Option {
        int level, name, value, length;
    };
    std::vector<std::string> lookups;
    int socketCalls = 0;
    std::vector<Option> options;
    std::vector<sockaddr_in> binds;
    std::vector<std::vector<unsigned char>> sent;
    std::vector<sockaddr_in> sentTo;
    std::vector<SocketHandle> sentFrom;
    int waits = 0;  // on no socket too: those fail at once
    std::set<SocketHandle> waitedOn;
    int receives = 0;
    std::set<SocketHandle> receivedFrom;
    std::vector<int> receiveCapacities;
    std::vector<SocketHandle> closed;
    std::set<SocketHandle> nonBlocking;

    void QueueDatagram(const std::vector<unsigned char>& bytes, SocketHandle on = kSocket) {
        QueueOf(on).push_back(bytes);
    }
    void ArriveAfterSend(int afterMs, const std::vector<unsigned char>& bytes,
                         SocketHandle on = kSocket) {
        arrivalsAfterSend.push_back({afterMs, bytes, on});
    }
    std::deque<std::vector<unsigned char>>& QueueOf(SocketHandle s) {
        return s == kSocket ? datagrams : cardDatagrams[s];
    }
    std::set<SocketHandle> m_open;   // handed out and not closed yet
    std::set<SocketHandle> m_bound;  // of those, the ones bound; the others
                                     // fail every receive, as on Windows

    // When the first send happened; arrivals count from here.
    bool m_bSent = false;
    std::chrono::steady_clock::time_point m_firstSend;

private:
    SocketApi m_api;
};

// The bytes of an IPv4 socket address as it lies in memory, for comparing
// against values written out by hand.
std::vector<unsigned char> AddressBytes(const sockaddr_in& address);
std::vector<unsigned char> PortBytes(const sockaddr_in& address);
