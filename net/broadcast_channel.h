// The broadcast channel: the one UDP socket that carries all traffic with the
// adapters, sent to 255.255.255.255 port 9029 and answered to this socket.
// One process-wide instance, opened and closed by the adapter table.
#pragma once

#include "net/socket_api.h"

constexpr unsigned short kAdapterPort = 9029;

class BroadcastChannel {
public:
    BroadcastChannel();  // the opening sequence
    ~BroadcastChannel();
    BroadcastChannel(const BroadcastChannel&) = delete;
    BroadcastChannel& operator=(const BroadcastChannel&) = delete;

    // Bytes sent, or -1 on failure (no socket, no destination, send error).
    int SendToBroadcast(const void* data, int length);
    // >0 when a datagram is ready, 0 on time-out, <0 on error. An error (or a
    // channel without a socket) still takes the whole wait, so callers that
    // loop on it never spin.
    int WaitReadable(int seconds);
    int WaitReadableMs(int milliseconds);
    // Length of the datagram, or -1 on error (including a datagram longer than
    // `capacity`, which is discarded). The sender is not reported.
    int ReceiveDatagram(void* buffer, int capacity);
    // Throws away the datagrams already queued on the socket, for at most
    // about `milliseconds` once the first few are gone; returns how many.
    int DiscardPending(int milliseconds);

    char hostName[256];
    sockaddr_in localAddress;
    sockaddr_in broadcastAddress;
    SocketHandle socket;
};

// The process-wide channel, or null when none exists.
extern BroadcastChannel* g_pBroadcastChannel;

// Creates the process-wide channel if it does not exist yet. Always 0.
int OpenChannel();
// Closes the channel's socket, frees the channel and clears the pointer.
void CloseChannel();

// Fills `address` from a dotted IPv4 address or a host name. 0 on success;
// -1 when the text is neither (the address is then zero but for its family).
int ResolveAddress(LPCSTR text, sockaddr_in& address);

// One diagnostic line on stderr in the C library's error-printing form.
void PrintDiagnostic(LPCSTR message);
