// Networked tests run only inside the private test network that
// scripts/netns-run.sh makes; anywhere else they skip with the reason.
#pragma once

#include <gtest/gtest.h>

// Empty when the private test network is there; otherwise why it is not.
const char* PrivateNetworkMissingReason();

#define REQUIRE_PRIVATE_NETWORK()                                              \
    do {                                                                       \
        if (const char* why_ = PrivateNetworkMissingReason(); why_[0] != '\0') \
            GTEST_SKIP() << "networked test skipped: " << why_;                \
    } while (0)
