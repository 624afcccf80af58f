#include "ui/search_reach.h"

#include <new>

#include "net/broadcast_channel.h"

SearchReach ReadSearchReach() {
    SearchReach reach;
    const BroadcastChannel* channel = g_pBroadcastChannel;
    if (!channel) {
        reach.reason = "there was not enough memory to open the network";
        return reach;
    }
    reach.usable = channel->CanSearch();
    BroadcastChannel::CardStatus statuses[BroadcastChannel::kMostCardStatuses];
    const int count = channel->GetCardStatuses(statuses, BroadcastChannel::kMostCardStatuses);
    try {
        if (!reach.usable)
            reach.reason = channel->GetNoSearchReason();
        for (int i = 0; i < count; ++i) {
            if (statuses[i].bound && statuses[i].card.address != 0)
                reach.cards.push_back(statuses[i].card);
        }
    } catch (const std::bad_alloc&) {
        // What fits is told; the search went through every card all the same.
    }
    return reach;
}
