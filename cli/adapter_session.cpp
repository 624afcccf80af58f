#include "cli/adapter_session.h"

#include "net/broadcast_channel.h"
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
    const BroadcastChannel* channel = g_pBroadcastChannel;
    if (!channel)
        return false;
    const bool hostNameSocket =
        channel->socket != kInvalidSocket && channel->broadcastAddress.sin_family != 0;
    if (!hostNameSocket && channel->GetFurtherCardCount() == 0)
        return false;
    // The host name may still resolve (from a hosts file) with every card
    // down; a broadcast then reaches nobody.
    InterfaceAddress addresses[1];
    return Sockets().interface_addresses(addresses, 1) != 0;  // -1: cannot tell, so try
}

void AdapterSession::Discover(int seconds) {
    m_pTable->Refresh(seconds);
}

std::vector<AdapterListing> AdapterSession::Listings() const {
    std::vector<AdapterListing> listings;
    listings.reserve(static_cast<size_t>(m_pTable->GetCount()));
    // One walk by position, as the window's refresh makes it.
    POSITION pos = m_pTable->GetHeadPosition();
    while (pos) {
        const auto* record = static_cast<const AdapterRecord*>(m_pTable->GetNext(pos));
        if (!record)
            continue;
        CString ip, mac, status;
        DWORD controller = 0;
        record->GetIpText(ip);
        record->GetMacText(mac);
        record->GetStatusText(status);
        record->GetControllerAddress(controller);
        listings.push_back({ip.GetString(), mac.GetString(), status.GetString(),
                            controller ? FormatIPv4(controller).GetString() : ""});
    }
    return listings;
}

AdapterRecord* AdapterSession::Find(const MacAddress& mac) const {
    POSITION pos = m_pTable->GetHeadPosition();
    while (pos) {
        auto* record = static_cast<AdapterRecord*>(m_pTable->GetNext(pos));
        if (record && HasMacAddress(*record, mac))
            return record;
    }
    return nullptr;
}

int AdapterSession::GetCount() const {
    return m_pTable->GetCount();
}
