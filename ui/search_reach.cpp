#include "ui/search_reach.h"

#include "net/broadcast_channel.h"

SearchReach ReadSearchReach() {
    SearchReach reach;
    const BroadcastChannel* channel = g_pBroadcastChannel;
    if (!channel) {
        reach.reason = "there was not enough memory to open the network";
        return reach;
    }
    BroadcastChannel::CardStatus statuses[BroadcastChannel::kMostCardStatuses];
    const int count = channel->GetCardStatuses(statuses, BroadcastChannel::kMostCardStatuses);
    for (int i = 0; i < count; ++i) {
        if (statuses[i].bound && statuses[i].card.address != 0)
            reach.cards.push_back(statuses[i].card);
    }
    reach.usable = channel->CanSearch();
    if (!reach.usable)
        reach.reason = channel->GetNoSearchReason();
    return reach;
}
