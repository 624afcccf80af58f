// What the broadcast channel can search through, as the window tells it: the
// cards whose sockets carry a discovery, or, when there are none, why.
#pragma once

#include <vector>

#include "framework/cstring.h"
#include "net/socket_api.h"

struct SearchReach {
    // A discovery can reach some network: a socket can broadcast and a card
    // other than loopback is up with an IPv4 address.
    bool usable = false;
    // The cards (address and netmask) whose sockets a discovery goes through,
    // in the channel's order: the host name's first.
    std::vector<InterfaceAddress> cards;
    // Why nothing can be used, as a phrase ("no network card is up with an
    // IPv4 address"); empty when usable.
    CString reason;
};

// The process-wide channel as it is now (after a discovery, which reads the
// cards again).
SearchReach ReadSearchReach();
