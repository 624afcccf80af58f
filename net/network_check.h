// The network check: what is wrong with an adapter's address as seen from
// this workstation, from the adapter table and the workstation's cards.
// An address outside the subnet of the card the adapter answered through
// cannot be reached; an address two adapters share reaches either at
// random; the workstation's own address takes the workstation's traffic.
#pragma once

#include <utility>
#include <vector>

#include "framework/cstring.h"
#include "net/adapter_table.h"
#include "net/socket_api.h"

struct AdapterFindings {
    // Outside the subnet of `card` (the card it answered through; zero when
    // not known), or 0.0.0.0.
    bool outsideSubnet = false;
    InterfaceAddress card = {0, 0};
    // The first other listed adapter with the same address (table index,
    // -1 for none) and how many others have it.
    int sameAddressAs = -1;
    int othersWithAddress = 0;
    // One of this workstation's own addresses.
    bool ownAddress = false;

    bool Any() const { return outsideSubnet || sameAddressAs >= 0 || ownAddress; }
    bool IsReachable() const { return !outsideSubnet; }
};

class CNetworkCheck {
public:
    // Checks against `table` as it is now and the workstation addresses
    // given; checks made after the table changed need a new check.
    CNetworkCheck(const CAdapterTable& table, const InterfaceAddress* own, int ownCount);
    // The same with the addresses of the process-wide channel's cards (none
    // without a channel).
    explicit CNetworkCheck(const CAdapterTable& table);

    // The findings of the adapter at `index` with the address it has.
    AdapterFindings Check(int index) const;
    // The findings it would have with `address` (network order) instead.
    AdapterFindings CheckAddress(int index, DWORD address) const;

    // One short text per finding, in the order above.
    std::vector<CString> Describe(const AdapterFindings& findings) const;
    // The texts joined by `separator`; empty without findings.
    CString DescribeAll(const AdapterFindings& findings, LPCSTR separator = "; ") const;

private:
    AdapterFindings Decide(int index, DWORD address) const;
    void TakeOwnAddresses(const InterfaceAddress* own, int ownCount);

    const CAdapterTable& m_table;
    std::vector<DWORD> m_own;
    // (address, table index), sorted: an adapter's equals are found at once
    // in a table of any size. Empty when it could not be built; the table
    // is then walked.
    std::vector<std::pair<DWORD, int>> m_byAddress;
    bool m_bIndexed = false;
};

// "10.231.1.0/24": the subnet of `card`.
CString FormatSubnet(const InterfaceAddress& card);
