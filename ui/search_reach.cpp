#include "ui/search_reach.h"

#include <cstring>

#include "net/adapter_record.h"
#include "net/broadcast_channel.h"

namespace {

// The host-name socket's card, with the netmask the card list gives it; zero
// when its address is not known.
InterfaceAddress HostNameCard(const BroadcastChannel& channel) {
    InterfaceAddress addresses[1];
    if (channel.GetWorkstationAddresses(addresses, 1) < 1)
        return {0, 0};
    DWORD own = 0;
    std::memcpy(&own, &channel.localAddress.sin_addr, sizeof(own));
    return addresses[0].address == own ? addresses[0] : InterfaceAddress{0, 0};
}

// Why the host-name socket carries nothing, in the words of the diagnostics
// the channel wrote on the standard error stream.
CString HostNameFailure(const BroadcastChannel& channel) {
    CString text;
    DWORD own = 0;
    std::memcpy(&own, &channel.localAddress.sin_addr, sizeof(own));
    if (own == 0)
        text.Format("this computer's name %s has no IPv4 address", channel.hostName);
    else if (channel.socket == kInvalidSocket)
        text.Format("no socket could be opened for %s, the address of this computer's name",
                    FormatIPv4(own).GetString());
    else
        text.Format("%s, the address of this computer's name, could not be bound",
                    FormatIPv4(own).GetString());
    return text;
}

}  // namespace

SearchReach ReadSearchReach() {
    SearchReach reach;
    const BroadcastChannel* channel = g_pBroadcastChannel;
    if (!channel) {
        reach.reason = "there was not enough memory to open the network";
        return reach;
    }
    const bool hostNameBound =
        channel->socket != kInvalidSocket && channel->broadcastAddress.sin_family != 0;
    if (hostNameBound) {
        InterfaceAddress card = HostNameCard(*channel);
        if (card.address != 0)
            reach.cards.push_back(card);
    }
    for (int i = 0; i < channel->GetFurtherCardCount(); ++i) {
        const BroadcastChannel::Card& card = channel->GetFurtherCard(i);
        reach.cards.push_back({card.address, card.netmask});
    }
    // The host name may still resolve (from a hosts file) with every card
    // down; a broadcast then reaches nobody. A list that cannot be read
    // (-1) rules nothing out.
    InterfaceAddress any[1];
    if (Sockets().interface_addresses(any, 1) == 0) {
        reach.reason = "no network card is up with an IPv4 address";
        return reach;
    }
    if (!hostNameBound && channel->GetFurtherCardCount() == 0) {
        reach.reason =
            HostNameFailure(*channel) + ", and no other card could be opened for broadcasts";
        return reach;
    }
    reach.usable = true;
    return reach;
}
