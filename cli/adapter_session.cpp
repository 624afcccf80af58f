#include "cli/adapter_session.h"

#include <utility>

#include "net/broadcast_channel.h"
#include "net/network_check.h"
#include "net/socket_api.h"

AdapterSession::AdapterSession() {
    StartSocketLibrary();
    m_pTable = std::make_unique<CAdapterTable>();  // opens the channel
}

AdapterSession::~AdapterSession() {
    // The channel's sockets are closed while the library still runs.
    m_pTable.reset();
    StopSocketLibrary();
}

bool AdapterSession::HasUsableNetwork() const {
    return g_pBroadcastChannel && g_pBroadcastChannel->CanSearch();
}

std::vector<BroadcastChannel::CardStatus> AdapterSession::CardStatuses() const {
    std::vector<BroadcastChannel::CardStatus> statuses(BroadcastChannel::kMostCardStatuses);
    int count = 0;
    if (g_pBroadcastChannel)
        count = g_pBroadcastChannel->GetCardStatuses(statuses.data(),
                                                     static_cast<int>(statuses.size()));
    statuses.resize(static_cast<size_t>(count));
    return statuses;
}

std::string AdapterSession::NoSearchReason() const {
    if (!g_pBroadcastChannel)
        return "no memory for the broadcast channel";
    return g_pBroadcastChannel->GetNoSearchReason();
}

void AdapterSession::Discover(int seconds) {
    m_pTable->Refresh(seconds);
}

std::vector<AdapterListing> AdapterSession::Listings() const {
    std::vector<AdapterListing> listings;
    listings.reserve(static_cast<size_t>(m_pTable->GetCount()));
    // One check for the whole listing: it indexes the table's addresses.
    const CNetworkCheck check(*m_pTable);
    // One walk by position, as the window's refresh makes it.
    int index = 0;
    for (POSITION pos = m_pTable->GetHeadPosition(); pos; ++index) {
        const auto* record = static_cast<const AdapterRecord*>(m_pTable->GetNext(pos));
        if (!record)
            continue;
        CString ip, mac, status;
        DWORD controller = 0;
        record->GetIpText(ip);
        record->GetMacText(mac);
        record->GetStatusText(status);
        record->GetControllerAddress(controller);
        AdapterListing listing;
        listing.ip = ip.GetString();
        listing.mac = mac.GetString();
        listing.status = status.GetString();
        if (controller)
            listing.controller = FormatIPv4(controller).GetString();
        const AdapterFindings findings = check.Check(index);
        if (const DWORD card = findings.Via().address)
            listing.via = FormatIPv4(card).GetString();
        listing.reachable = findings.IsReachable();
        for (const CString& text : check.Describe(findings))
            listing.findings.push_back(text.GetString());
        listing.answeredNow = m_pTable->AnsweredLastRefreshAt(index);
        listing.cards.assign(findings.cards, findings.cards + findings.cardCount);
        listings.push_back(std::move(listing));
    }
    return listings;
}

AdapterRecord* AdapterSession::Find(const MacAddress& mac, int* index) const {
    int at = 0;
    for (POSITION pos = m_pTable->GetHeadPosition(); pos; ++at) {
        auto* record = static_cast<AdapterRecord*>(m_pTable->GetNext(pos));
        if (record && HasMacAddress(*record, mac)) {
            if (index)
                *index = at;
            return record;
        }
    }
    return nullptr;
}

std::string AdapterSession::AddressFindings(int index, DWORD address) const {
    const CNetworkCheck check(*m_pTable);
    return check.DescribeAll(check.CheckAddress(index, address)).GetString();
}

std::vector<std::string> AdapterSession::AddressFindingTexts(int index, DWORD address) const {
    const CNetworkCheck check(*m_pTable);
    std::vector<std::string> texts;
    for (const CString& text : check.Describe(check.CheckAddress(index, address)))
        texts.push_back(text.GetString());
    return texts;
}

std::string AdapterSession::Via(int index) const {
    const DWORD card = CNetworkCheck(*m_pTable).Check(index).Via().address;
    return card ? FormatIPv4(card).GetString() : std::string();
}

int AdapterSession::GetCount() const {
    return m_pTable->GetCount();
}
