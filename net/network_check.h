// The network check: what is wrong with an adapter's address as seen from
// this workstation, from the adapter table and the workstation's cards.
// An address outside the subnets of every card the adapter answered through
// cannot be reached; a subnet's network or broadcast address is no host's;
// an address two adapters share reaches either at random; the workstation's
// own address takes the workstation's traffic.
#pragma once

#include <utility>
#include <vector>

#include "framework/cstring.h"
#include "net/adapter_table.h"
#include "net/socket_api.h"

struct AdapterFindings {
    // The cards that heard the adapter (CAdapterTable::GetCardsAt); none
    // when not known.
    InterfaceAddress cards[CAdapterTable::kMostCards] = {};
    int cardCount = 0;
    // The first card whose subnet holds the address, else the first card;
    // -1 without cards.
    int via = -1;

    // 0.0.0.0: the adapter has no address yet.
    bool noAddress = false;
    // No card's subnet holds the address, and each card tells where its
    // subnet ends (a card of a single address does not: it rules nothing out).
    bool outsideSubnet = false;
    // The network or broadcast address of the subnet of cards[subnetCard],
    // a card that holds it (neither exists in a /31 or /32).
    enum class SubnetAddress { kNone, kNetwork, kBroadcast };
    SubnetAddress subnetAddress = SubnetAddress::kNone;
    int subnetCard = -1;
    // The first other listed adapter with the same address (table index,
    // -1 for none) and how many others have it.
    int sameAddressAs = -1;
    int othersWithAddress = 0;
    // One of this workstation's own addresses.
    bool ownAddress = false;

    bool Any() const {
        return noAddress || outsideSubnet || subnetAddress != SubnetAddress::kNone ||
               sameAddressAs >= 0 || ownAddress;
    }
    // In the subnet of a card that heard it, or nothing says otherwise. A
    // subnet's network and broadcast address count as reachable: the subnet
    // holds them, and they are findings of their own.
    bool IsReachable() const { return !noAddress && !outsideSubnet; }
    // The card to name as the one the adapter answered through; zero for both
    // when not known.
    InterfaceAddress Via() const { return via >= 0 ? cards[via] : InterfaceAddress{0, 0}; }
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
// "10.231.1.5/24": the card's own address and its prefix length.
CString FormatCard(const InterfaceAddress& card);
// The prefix length of a netmask in network order: its leading ones.
int PrefixLength(DWORD netmask);
