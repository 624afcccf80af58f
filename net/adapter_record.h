// AdapterRecord: the 32-byte record of one discovered adapter, built from its
// discovery reply and copied whole wherever it is stored.
#pragma once

#include <cstddef>

#include "framework/cstring.h"

#pragma pack(push, 1)
struct AdapterRecord {
    LONG family;       // 0-3: always 2 (IPv4) for a discovered adapter
    DWORD address;     // 4-7: adapter IPv4 address, network order
    BYTE hardware[8];  // 8-15: 6 MAC octets and the 2 reply bytes after them
    BYTE carried1[4];  // 16-19: reply 26-29, not interpreted
    DWORD controller;  // 20-23: controlling workstation, network order; 0 = none
    BYTE carried2[4];  // 24-27: reply 34-37, not interpreted
    BYTE carried3[4];  // 28-31: reply 38-41, not interpreted

    bool GetIpText(CString& text) const;
    bool GetMacText(CString& text) const;
    bool GetControllerAddress(DWORD& address) const;
    bool GetStatusText(CString& text) const;

    // Asks the adapter to take `newAddress` (dotted address or host name, at
    // most its first 1023 characters; net/address_change.cpp). True when the
    // adapter confirmed; only then does the record hold the new address.
    bool ChangeAddress(CString newAddress);
};
#pragma pack(pop)

static_assert(sizeof(AdapterRecord) == 32, "AdapterRecord is a 32-byte wire record");
static_assert(offsetof(AdapterRecord, address) == 4);
static_assert(offsetof(AdapterRecord, hardware) == 8);
static_assert(offsetof(AdapterRecord, carried1) == 16);
static_assert(offsetof(AdapterRecord, controller) == 20);
static_assert(offsetof(AdapterRecord, carried2) == 24);
static_assert(offsetof(AdapterRecord, carried3) == 28);

constexpr LONG kFamilyIPv4 = 2;

// Dotted decimal text of an IPv4 address held in network order.
CString FormatIPv4(DWORD networkOrder);
