#include "tests/support/network_env.h"

#include <cstdlib>
#include <cstring>

const char* PrivateNetworkMissingReason() {
    const char* inside = std::getenv("PELLVANE_NETNS");
    if (inside && std::strcmp(inside, "1") == 0)
        return "";
    const char* why = std::getenv("PELLVANE_NETNS_UNAVAILABLE");
    if (why && *why)
        return why;
    return "not inside the private test network (run it through scripts/netns-run.sh)";
}
