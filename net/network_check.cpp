#include "net/network_check.h"

#include <algorithm>
#include <new>

#include "net/broadcast_channel.h"

namespace {

constexpr DWORD kWholeMask = 0xFFFFFFFFu;

}  // namespace

int PrefixLength(DWORD netmask) {
    const BYTE* octets = reinterpret_cast<const BYTE*>(&netmask);
    int length = 0;
    for (int i = 0; i < 4; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            if (!(octets[i] & (1u << bit)))
                return length;
            ++length;
        }
    }
    return length;
}

CString FormatSubnet(const InterfaceAddress& card) {
    CString text;
    text.Format("%s/%d", FormatIPv4(card.address & card.netmask).GetString(),
                PrefixLength(card.netmask));
    return text;
}

CString FormatCard(const InterfaceAddress& card) {
    CString text;
    text.Format("%s/%d", FormatIPv4(card.address).GetString(), PrefixLength(card.netmask));
    return text;
}

CNetworkCheck::CNetworkCheck(const CAdapterTable& table, const InterfaceAddress* own, int ownCount)
    : m_table(table) {
    TakeOwnAddresses(own, ownCount);
}

CNetworkCheck::CNetworkCheck(const CAdapterTable& table) : m_table(table) {
    InterfaceAddress own[BroadcastChannel::kMostListedAddresses + 1];
    int count = 0;
    if (g_pBroadcastChannel)
        count = g_pBroadcastChannel->GetWorkstationAddresses(own, sizeof(own) / sizeof(own[0]));
    TakeOwnAddresses(own, count);
}

void CNetworkCheck::TakeOwnAddresses(const InterfaceAddress* own, int ownCount) {
    try {
        for (int i = 0; i < ownCount; ++i)
            m_own.push_back(own[i].address);
        m_byAddress.reserve(static_cast<size_t>(m_table.GetCount()));
        int index = 0;
        for (POSITION pos = m_table.GetHeadPosition(); pos; ++index) {
            if (const auto* record = static_cast<const AdapterRecord*>(m_table.GetNext(pos)))
                m_byAddress.emplace_back(record->address, index);
        }
        std::sort(m_byAddress.begin(), m_byAddress.end());
        m_bIndexed = true;
    } catch (const std::bad_alloc&) {
        // Walking the table finds the same, only slower.
        std::vector<std::pair<DWORD, int>>().swap(m_byAddress);
    }
}

AdapterFindings CNetworkCheck::Check(int index) const {
    const AdapterRecord* record = m_table.GetAt(index);
    return record ? Decide(index, record->address) : AdapterFindings{};
}

AdapterFindings CNetworkCheck::CheckAddress(int index, DWORD address) const {
    return Decide(index, address);
}

AdapterFindings CNetworkCheck::Decide(int index, DWORD address) const {
    AdapterFindings findings;
    findings.cardCount = m_table.GetCardsAt(index, findings.cards, CAdapterTable::kMostCards);
    findings.noAddress = address == 0;
    // A card of a single address (or one the platform gave no prefix) says
    // nothing about where the segment ends: an adapter it heard may be on
    // any address.
    bool held = false, unbounded = false;
    for (int i = 0; i < findings.cardCount; ++i) {
        const InterfaceAddress& card = findings.cards[i];
        if (card.netmask == kWholeMask)
            unbounded = true;
        if (findings.noAddress || ((address ^ card.address) & card.netmask) != 0)
            continue;
        if (!held)
            findings.via = i;
        held = true;
        // A /31 holds two hosts and no network or broadcast address.
        const DWORD host = address & ~card.netmask;
        if (findings.subnetCard < 0 && PrefixLength(card.netmask) <= 30 &&
            (host == 0 || host == ~card.netmask)) {
            findings.subnetAddress = host == 0 ? AdapterFindings::SubnetAddress::kNetwork
                                               : AdapterFindings::SubnetAddress::kBroadcast;
            findings.subnetCard = i;
        }
    }
    if (findings.via < 0 && findings.cardCount > 0)
        findings.via = 0;
    findings.outsideSubnet = !findings.noAddress && findings.cardCount > 0 && !held && !unbounded;

    auto other = [&](int at) {
        if (at == index)
            return;
        if (findings.sameAddressAs < 0 || at < findings.sameAddressAs)
            findings.sameAddressAs = at;
        ++findings.othersWithAddress;
    };
    // 0.0.0.0 is no address, so no adapter shares it.
    if (address == 0) {
    } else if (m_bIndexed) {
        auto range =
            std::equal_range(m_byAddress.begin(), m_byAddress.end(), std::make_pair(address, 0),
                             [](const std::pair<DWORD, int>& a, const std::pair<DWORD, int>& b) {
                                 return a.first < b.first;
                             });
        for (auto it = range.first; it != range.second; ++it)
            other(it->second);
    } else {
        int at = 0;
        for (POSITION pos = m_table.GetHeadPosition(); pos; ++at) {
            const auto* record = static_cast<const AdapterRecord*>(m_table.GetNext(pos));
            if (record && record->address == address)
                other(at);
        }
    }

    findings.ownAddress =
        address != 0 && std::find(m_own.begin(), m_own.end(), address) != m_own.end();
    return findings;
}

std::vector<CString> CNetworkCheck::Describe(const AdapterFindings& findings) const {
    std::vector<CString> texts;
    CString text;
    if (findings.noAddress) {
        texts.push_back(CString("not reachable from this workstation: 0.0.0.0 is not an address"));
    } else if (findings.outsideSubnet) {
        // Every subnet it is outside of, once each: "A", "A and B", "A, B and C".
        std::vector<CString> subnets;
        for (int i = 0; i < findings.cardCount; ++i) {
            CString subnet = FormatSubnet(findings.cards[i]);
            if (std::find(subnets.begin(), subnets.end(), subnet) == subnets.end())
                subnets.push_back(subnet);
        }
        text = "not reachable from this workstation: outside ";
        for (size_t i = 0; i < subnets.size(); ++i) {
            if (i > 0)
                text += i + 1 == subnets.size() ? " and " : ", ";
            text += subnets[i];
        }
        texts.push_back(text);
    }
    if (findings.subnetCard >= 0) {
        text.Format("the %s address of %s",
                    findings.subnetAddress == AdapterFindings::SubnetAddress::kNetwork
                        ? "network"
                        : "broadcast",
                    FormatSubnet(findings.cards[findings.subnetCard]).GetString());
        texts.push_back(text);
    }
    if (findings.sameAddressAs >= 0) {
        CString mac;
        if (const AdapterRecord* record = m_table.GetAt(findings.sameAddressAs))
            record->GetMacText(mac);
        int more = findings.othersWithAddress - 1;
        if (more <= 0)
            text.Format("same address as %s", mac.GetString());
        else
            text.Format("same address as %s and %d other adapter%s", mac.GetString(), more,
                        more == 1 ? "" : "s");
        texts.push_back(text);
    }
    if (findings.ownAddress)
        texts.push_back(CString("same address as this workstation"));
    return texts;
}

CString CNetworkCheck::DescribeAll(const AdapterFindings& findings, LPCSTR separator) const {
    CString all;
    for (const CString& text : Describe(findings)) {
        if (!all.IsEmpty())
            all += separator;
        all += text;
    }
    return all;
}
