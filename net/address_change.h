// The address-change exchange: one broadcast command that gives the adapter
// with a given hardware address a new IPv4 address, and the wait of at most
// one second for its "IFCONFIG OK".
#pragma once

#include "net/adapter_record.h"

// The request: the tag and its NUL, two zero bytes, the new address (16-19)
// and the record's hardware-address field (20-27).
constexpr char kAddressChangeTag[] = "PRUX IFCONFIG";
constexpr int kAddressChangeRequestLength = 28;
// An answer begins with these 9 bytes ("IFCONFIG OK" without its "OK").
constexpr char kAddressChangeAnswerTag[] = "IFCONFIG ";
constexpr int kAddressChangeAnswerTagLength = sizeof(kAddressChangeAnswerTag) - 1;  // 9
constexpr int kAddressChangeAnswerCapacity = 256;
constexpr int kAddressChangeWaitMs = 1000;
// The longest time spent throwing away stale datagrams before the request.
constexpr int kStaleDrainMostMs = 30;
// The longest address text ChangeAddress passes on.
constexpr int kAddressTextMaxLength = 1023;

struct AddressChangeRequest {
    BYTE bytes[kAddressChangeRequestLength];
};

// The request that asks the adapter of `record` to take `newAddress`
// (network order).
AddressChangeRequest BuildAddressChangeRequest(DWORD newAddress, const AdapterRecord& record);

// True when a received datagram of `length` bytes (-1: receive error) is the
// adapter's confirmation.
bool IsAddressChangeAnswer(const BYTE* data, int length);

// False for addresses no adapter can take as its own: this network
// (0.0.0.0/8), loopback (127.0.0.0/8), multicast, reserved and broadcast
// (224.0.0.0 and above). Network order.
bool IsAssignableAdapterAddress(DWORD networkOrder);

// Resolves `text` (dotted address or host name; a number in any other form
// is refused, net/address_text.h), sends the request for
// `record`'s adapter through every card and waits at most one second for its
// confirmation on any of them.
// 0 when the adapter confirmed; the record then holds the new address.
// -1 on any failure, with the record left exactly as it was.
int SendAddressChange(LPCSTR text, AdapterRecord& record);
