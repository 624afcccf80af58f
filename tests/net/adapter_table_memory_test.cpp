// Running out of memory while an answer is merged must cost only that answer.
// The global allocator is replaced (tests/support/failing_allocator) so that a
// chosen allocation fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "net/adapter_table.h"
#include "net/broadcast_channel.h"
#include "tests/support/failing_allocator.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

AdapterRecord Record(BYTE id, BYTE lastIpOctet) {
    AdapterRecord r;
    std::memset(&r, 0, sizeof(r));
    r.family = kFamilyIPv4;
    BYTE ip[4] = {10, 0, 0, lastIpOctet};
    std::memcpy(&r.address, ip, 4);
    r.hardware[5] = id;
    return r;
}

BYTE LastIpOctet(const AdapterRecord* r) {
    return reinterpret_cast<const BYTE*>(&r->address)[3];
}

// The channel is not what is tested here; keep it from looking for a network.
int NoHostName(char* name, int) {
    name[0] = '\0';
    return -1;
}
const hostent* NoHost(const char*) {
    return nullptr;
}
unsigned long NoDottedAddress(const char*) {
    return 0xFFFFFFFFul;
}
SocketHandle NoSocket(int, int, int) {
    return kInvalidSocket;
}
int Fails(SocketHandle, int, int, const void*, int) {
    return -1;
}
int FailsBind(SocketHandle, const sockaddr_in*) {
    return -1;
}
int FailsSend(SocketHandle, const void*, int, const sockaddr_in*) {
    return -1;
}
int FailsWait(SocketHandle, int) {
    return -1;
}
int FailsReceive(SocketHandle, void*, int, sockaddr_in*) {
    return -1;
}
int FailsClose(SocketHandle) {
    return -1;
}
int FailsWaitAny(const SocketHandle*, int, int, bool*) {
    return -1;
}
int NoInterfaces(InterfaceAddress*, int) {
    return -1;
}
int FailsNonBlocking(SocketHandle) {
    return -1;
}
const SocketApi kOffline = {NoHostName,   NoHost,       NoDottedAddress,  NoSocket,     Fails,
                            FailsBind,    FailsSend,    FailsWait,        FailsReceive, FailsClose,
                            FailsWaitAny, NoInterfaces, FailsNonBlocking, FailsReceive};

// A workstation with two cards whose interface list needs memory, as the
// Windows one does.
int DottedHostName(char* name, int length) {
    std::snprintf(name, static_cast<size_t>(length), "10.231.0.1");
    return 0;
}
unsigned long ParseDotted(const char* text) {
    return RealSockets().inet_addr(text);
}
SocketHandle g_nextSocket;
std::vector<SocketHandle> g_closed;
SocketHandle NextSocket(int, int, int) {
    return g_nextSocket++;
}
int Succeeds(SocketHandle, int, int, const void*, int) {
    return 0;
}
int Binds(SocketHandle, const sockaddr_in*) {
    return 0;
}
int RecordsClose(SocketHandle s) {
    g_closed.push_back(s);
    return 0;
}
std::vector<unsigned char> g_listBuffer;  // global, so no allocation is optimised away
int TwoCardsFromAllocatedList(InterfaceAddress* addresses, int capacity) {
    g_listBuffer.resize(16 * 1024);
    std::vector<unsigned char>().swap(g_listBuffer);
    const InterfaceAddress cards[] = {{htonl(0x0AE70001u), htonl(0xFFFFFF00u)},
                                      {htonl(0x0AE80001u), htonl(0xFFFFFF00u)}};
    int n = 0;
    for (; n < 2 && n < capacity; ++n)
        addresses[n] = cards[n];
    return n;
}
int SetsNonBlocking(SocketHandle) {
    return 0;
}
const SocketApi kTwoCards = {DottedHostName,  NoHost,       ParseDotted,  NextSocket,
                             Succeeds,        Binds,        FailsSend,    FailsWait,
                             FailsReceive,    RecordsClose, FailsWaitAny, TwoCardsFromAllocatedList,
                             SetsNonBlocking, FailsReceive};

class AdapterTableMemoryTest : public ::testing::Test {
protected:
    void SetUp() override { SetSocketApi(&kOffline); }
    void TearDown() override { SetSocketApi(nullptr); }
};

// Whichever allocation of a new adapter's merge fails (its record or a new
// node block), the answer is skipped whole: nothing half-added, nothing
// leaked, and the table keeps working.
TEST_F(AdapterTableMemoryTest, AFailedAllocationSkipsTheNewAdapterOnly) {
    bool someFailureSeen = false;
    for (int n = 1; n <= 3; ++n) {
        CAdapterTable table;  // empty: the first element needs a node block too
        table.Upsert(Record(1, 1));
        // Fill the first node block, so that the next element needs a new one.
        for (BYTE id = 2; id <= 10; ++id)
            table.Upsert(Record(id, id));
        ASSERT_EQ(table.GetCount(), 10);

        long liveBefore = LiveAllocations();
        bool added;
        bool failed;
        {
            FailingAllocation failure(n);
            added = table.Upsert(Record(11, 11));
            failed = failure.Happened();
        }
        if (failed) {
            someFailureSeen = true;
            EXPECT_FALSE(added) << "allocation " << n;
            EXPECT_EQ(table.GetCount(), 10) << "allocation " << n;
            EXPECT_EQ(LiveAllocations(), liveBefore) << "allocation " << n;
        } else {
            EXPECT_TRUE(added) << "allocation " << n;
            EXPECT_EQ(table.GetCount(), 11) << "allocation " << n;
        }

        // Memory back: the same adapter is merged normally.
        EXPECT_TRUE(table.Upsert(Record(11, 12)));
        ASSERT_EQ(table.GetCount(), 11);
        EXPECT_EQ(LastIpOctet(table.GetAt(10)), 12);
        EXPECT_EQ(LastIpOctet(table.GetAt(0)), 1);
    }
    EXPECT_TRUE(someFailureSeen);
}

// Overwriting a known adapter needs no memory at all.
TEST_F(AdapterTableMemoryTest, AKnownAdapterIsUpdatedWithoutAllocating) {
    CAdapterTable table;
    table.Upsert(Record(1, 1));
    {
        FailingAllocation failure(1);
        EXPECT_TRUE(table.Upsert(Record(1, 2)));
        EXPECT_FALSE(failure.Happened());
    }
    EXPECT_EQ(LastIpOctet(table.GetAt(0)), 2);
}

TEST_F(AdapterTableMemoryTest, NoChannelWithoutMemoryForItAndTheTableStillWorks) {
    {
        CaptureStderr();
        FailingAllocation failure(1);
        CAdapterTable table;
        EXPECT_TRUE(failure.Happened());
        EXPECT_EQ(GetCapturedStderr().rfind("Can't allocate broadcast channel: ", 0), 0u);
        EXPECT_EQ(g_pBroadcastChannel, nullptr);
        EXPECT_EQ(g_pAdapterTable, &table);
        EXPECT_EQ(table.Refresh(1), -1);
    }
    EXPECT_EQ(g_pAdapterTable, nullptr);
}

// Out of memory inside the channel's construction, while the cards are
// listed: nothing escapes the table's constructor, the channel keeps its
// host-name socket and the card follows at the next refresh.
TEST_F(AdapterTableMemoryTest, NoMemoryToListTheCardsLeavesTheChannelItsHostNameSocket) {
    SetSocketApi(&kTwoCards);
    g_nextSocket = 7;
    g_closed.clear();
    g_closed.reserve(4);
    const long liveBefore = LiveAllocations();
    std::unique_ptr<CAdapterTable> table;
    CaptureStderr();
    {
        FailingAllocation failure(3);  // the table, the channel, the card list
        table = std::make_unique<CAdapterTable>();
        EXPECT_TRUE(failure.Happened());
    }
    EXPECT_EQ(GetCapturedStderr().rfind("Can't list network cards: ", 0), 0u);
    EXPECT_EQ(g_pAdapterTable, table.get());
    ASSERT_NE(g_pBroadcastChannel, nullptr);
    EXPECT_EQ(g_pBroadcastChannel->socket, 7u);
    EXPECT_EQ(g_pBroadcastChannel->GetFurtherCardCount(), 0);

    g_pBroadcastChannel->RefreshCards();
    EXPECT_EQ(g_pBroadcastChannel->GetFurtherCardCount(), 1);
    table.reset();
    EXPECT_EQ(g_pAdapterTable, nullptr);
    EXPECT_EQ(g_pBroadcastChannel, nullptr);
    EXPECT_EQ(g_closed, std::vector<SocketHandle>({7, 8}));
    EXPECT_EQ(LiveAllocations(), liveBefore);
}

// Destroying the table hands back every record and node block.
TEST_F(AdapterTableMemoryTest, DestructionReturnsEveryAllocation) {
    long liveBefore = LiveAllocations();
    {
        CAdapterTable table;
        for (BYTE id = 1; id <= 35; ++id)
            table.Upsert(Record(id, id));
        EXPECT_GT(LiveAllocations(), liveBefore + 35);
    }
    EXPECT_EQ(LiveAllocations(), liveBefore);
}

}  // namespace
