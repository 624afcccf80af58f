#include "net/discovery.h"

#include <chrono>
#include <cstring>

#include "net/broadcast_channel.h"

bool ParseDiscoveryReply(const BYTE* data, int length, AdapterRecord& record) {
    if (!data || length < kDiscoveryReplyTagLength || length > kDiscoveryReplyCapacity)
        return false;
    if (std::memcmp(data, kDiscoveryReplyTag, kDiscoveryReplyTagLength) != 0)
        return false;

    // Bytes a short reply does not supply count as zero.
    BYTE reply[kDiscoveryReplyCapacity] = {};
    std::memcpy(reply, data, static_cast<size_t>(length));

    std::memset(&record, 0, sizeof(record));
    record.family = kFamilyIPv4;
    std::memcpy(&record.address, reply + 16, 4);
    std::memcpy(record.hardware, reply + 20, 8);
    std::memcpy(record.carried1, reply + 26, 4);
    std::memcpy(&record.controller, reply + 30, 4);
    std::memcpy(record.carried2, reply + 34, 4);
    std::memcpy(record.carried3, reply + 38, 4);
    return true;
}

namespace {

// Reading the clock after every datagram would cost as much as merging it.
constexpr int kReceivedBetweenClockReads = 32;

}  // namespace

int DiscoverAdapters(int seconds, DiscoveryCallback callback) {
    BroadcastChannel* channel = g_pBroadcastChannel;
    if (!channel)
        return -1;

    // A card that got its address since the last exchange takes part too.
    channel->RefreshCards();
    if (channel->SendToBroadcast(kDiscoveryRequest, kDiscoveryRequestLength) < 0)
        PrintDiagnostic("sendto");

    // A monotonic clock: setting the calendar clock back must not stretch the exchange.
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (remaining <= 0)
            break;
        int waitMs = remaining < 1000 ? static_cast<int>(remaining) : 1000;
        if (channel->WaitReadableMs(waitMs) <= 0)
            continue;
        // One wait serves everything queued by then: a wait for each datagram
        // costs more than the datagram, and answers pile up meanwhile until
        // the socket drops them. A flood still ends with the exchange.
        for (int received = 1;; ++received) {
            BYTE buffer[kDiscoveryReplyCapacity];
            int length = channel->ReceiveQueued(buffer, sizeof(buffer));
            if (length == kNothingQueued)
                break;
            AdapterRecord record;
            if (length > 0 && ParseDiscoveryReply(buffer, length, record) && callback)
                callback(&record);
            if (received % kReceivedBetweenClockReads == 0 && Clock::now() >= end)
                break;
        }
    }
    return 0;
}
