// The discovery exchange: one "HELLO PRUX" broadcast through every card of the
// workstation, then every reply that arrives on any of them within the given
// number of seconds, handed over as AdapterRecords.
#pragma once

#include "net/adapter_record.h"

// The record is valid only during the call.
using DiscoveryCallback = void (*)(const AdapterRecord* record);

// The request: the text and its terminating NUL.
constexpr char kDiscoveryRequest[] = "HELLO PRUX";
constexpr int kDiscoveryRequestLength = sizeof(kDiscoveryRequest);  // 11
constexpr char kDiscoveryReplyTag[] = "HELLO I AM PRUX";
constexpr int kDiscoveryReplyTagLength = sizeof(kDiscoveryReplyTag) - 1;  // 15
constexpr int kDiscoveryReplyCapacity = 44;

// -1 at once when there is no channel; otherwise runs the exchange and returns 0.
int DiscoverAdapters(int seconds, DiscoveryCallback callback);

// Turns one received datagram (at most 44 bytes, as the receive buffer holds)
// into a record. False when it is not a discovery reply.
bool ParseDiscoveryReply(const BYTE* data, int length, AdapterRecord& record);
