// The address resolver and the channel's opening sequence, against the real
// resolver where its answer is fixed and a scripted socket library elsewhere.
#include "net/broadcast_channel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "net/network_check.h"
#include "tests/net/fake_sockets.h"

namespace {

using Bytes = std::vector<unsigned char>;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class ChannelTest : public testing::Test {
protected:
    void SetUp() override {
        StartSocketLibrary();
        ASSERT_EQ(g_pBroadcastChannel, nullptr);
    }
    void TearDown() override {
        CloseChannel();
        StopSocketLibrary();
    }
};

// An address full of garbage, so that clearing it is part of what is tested.
sockaddr_in Garbage() {
    sockaddr_in address;
    std::memset(&address, 0xAB, sizeof(address));
    return address;
}

// Everything but the family and the address bytes must be zero.
void ExpectOnlyFamilyAndAddress(const sockaddr_in& address, int family, const Bytes& bytes) {
    EXPECT_EQ(address.sin_family, family);
    EXPECT_EQ(PortBytes(address), Bytes({0x00, 0x00}));
    EXPECT_EQ(AddressBytes(address), bytes);
    EXPECT_EQ(Bytes(address.sin_zero, address.sin_zero + sizeof(address.sin_zero)), Bytes(8, 0));
}

bool IsAllZero(const sockaddr_in& address) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&address);
    for (size_t i = 0; i < sizeof(address); ++i)
        if (p[i] != 0)
            return false;
    return true;
}

// A diagnostic is one line: the fixed message, a colon, a space, the C
// library's error text.
void ExpectDiagnostic(const std::string& captured, const std::string& message) {
    EXPECT_EQ(captured.rfind(message + ": ", 0), 0u) << captured;
    ASSERT_FALSE(captured.empty());
    EXPECT_EQ(captured.back(), '\n') << captured;
    EXPECT_EQ(captured.find('\n'), captured.size() - 1) << captured;
}

// "10.231.0.1/24 (host name): bound" for each card, "-" for no address.
std::vector<std::string> CardFates(const BroadcastChannel& channel) {
    BroadcastChannel::CardStatus statuses[BroadcastChannel::kMostCardStatuses];
    const int count = channel.GetCardStatuses(statuses, BroadcastChannel::kMostCardStatuses);
    std::vector<std::string> fates;
    for (int i = 0; i < count; ++i) {
        const BroadcastChannel::CardStatus& s = statuses[i];
        std::string text = s.card.address ? FormatCard(s.card).GetString() : "-";
        text += std::string(s.hostName ? " (host name)" : "") + ": ";
        text += s.bound ? "bound" : s.reason;
        EXPECT_EQ(s.bound, s.reason[0] == '\0') << text;
        fates.push_back(text);
    }
    return fates;
}

TEST_F(ChannelTest, ResolveAddressWithTheRealResolver) {
    sockaddr_in address = Garbage();
    EXPECT_EQ(ResolveAddress("10.1.2.3", address), 0);
    ExpectOnlyFamilyAndAddress(address, AF_INET, {10, 1, 2, 3});

    address = Garbage();
    EXPECT_EQ(ResolveAddress("localhost", address), 0);
    ExpectOnlyFamilyAndAddress(address, AF_INET, {127, 0, 0, 1});

    address = Garbage();
    EXPECT_EQ(ResolveAddress(nullptr, address), -1);
    ExpectOnlyFamilyAndAddress(address, AF_INET, {0, 0, 0, 0});
}

TEST_F(ChannelTest, ResolveAddressFallsBackToTheHostNameLookup) {
    FakeSockets fake;

    // Dotted addresses never reach the lookup.
    sockaddr_in address = Garbage();
    EXPECT_EQ(ResolveAddress("10.231.0.2", address), 0);
    ExpectOnlyFamilyAndAddress(address, AF_INET, {10, 231, 0, 2});
    EXPECT_TRUE(fake.lookups.empty());

    // A name nobody knows: -1, and nothing left of the old content but the family.
    address = Garbage();
    EXPECT_EQ(ResolveAddress("no-such-adapter", address), -1);
    ExpectOnlyFamilyAndAddress(address, AF_INET, {0, 0, 0, 0});
    EXPECT_EQ(fake.lookups, std::vector<std::string>({"no-such-adapter"}));

    // The parser's failure value is the all-ones address, so that text goes
    // on to the lookup and fails with it.
    address = Garbage();
    EXPECT_EQ(ResolveAddress("255.255.255.255", address), -1);
    ExpectOnlyFamilyAndAddress(address, AF_INET, {0, 0, 0, 0});
    ASSERT_EQ(fake.lookups.size(), 2u);
    EXPECT_EQ(fake.lookups[1], "255.255.255.255");

    fake.lookupAddress = {10, 231, 0, 1};
    address = Garbage();
    EXPECT_EQ(ResolveAddress("pellvane-ws", address), 0);
    ExpectOnlyFamilyAndAddress(address, AF_INET, {10, 231, 0, 1});
}

TEST_F(ChannelTest, ResolveAddressCopiesNoMoreThanTheResultAndTheFieldHold) {
    FakeSockets fake;
    sockaddr_in address;

    // A result longer than an IPv4 address must not run into the rest of
    // the socket address.
    fake.lookupAddress = {10,   9,    8,    7,    0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                          0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    address = Garbage();
    EXPECT_EQ(ResolveAddress("long-result", address), 0);
    ExpectOnlyFamilyAndAddress(address, AF_INET, {10, 9, 8, 7});

    // A shorter one leaves the remaining address bytes cleared.
    fake.lookupAddress = {10, 9, 8, 7};
    fake.lookupLength = 2;
    address = Garbage();
    EXPECT_EQ(ResolveAddress("short-result", address), 0);
    ExpectOnlyFamilyAndAddress(address, AF_INET, {10, 9, 0, 0});

    // The family is the one the lookup reports.
    fake.lookupLength = -1;
    fake.lookupFamily = 23;
    address = Garbage();
    EXPECT_EQ(ResolveAddress("other-family", address), 0);
    ExpectOnlyFamilyAndAddress(address, 23, {10, 9, 8, 7});
}

TEST_F(ChannelTest, UnresolvableHostNameLeavesTheChannelWithoutSocket) {
    FakeSockets fake;
    fake.hostName = "lonely-ws";
    EXPECT_EQ(OpenChannel(), 0);
    ASSERT_NE(g_pBroadcastChannel, nullptr);
    EXPECT_STREQ(g_pBroadcastChannel->hostName, "lonely-ws");
    EXPECT_EQ(fake.lookups, std::vector<std::string>({"lonely-ws"}));
    EXPECT_EQ(fake.socketCalls, 0);
    EXPECT_EQ(g_pBroadcastChannel->socket, kInvalidSocket);
    EXPECT_TRUE(IsAllZero(g_pBroadcastChannel->broadcastAddress));

    // Nothing can be sent or received on it.
    EXPECT_EQ(g_pBroadcastChannel->SendToBroadcast("x", 1), -1);
    char buffer[4];
    EXPECT_EQ(g_pBroadcastChannel->ReceiveDatagram(buffer, sizeof(buffer)), -1);
    EXPECT_TRUE(fake.sent.empty());
}

TEST_F(ChannelTest, FailedSocketCreationStopsTheSequence) {
    FakeSockets fake;
    fake.lookupAddress = {10, 231, 0, 1};
    fake.socketResult = kInvalidSocket;
    CaptureStderr();
    OpenChannel();
    EXPECT_EQ(GetCapturedStderr(), "");
    ASSERT_NE(g_pBroadcastChannel, nullptr);
    EXPECT_EQ(fake.socketCalls, 1);
    EXPECT_EQ(g_pBroadcastChannel->socket, kInvalidSocket);
    EXPECT_TRUE(fake.options.empty());
    EXPECT_TRUE(fake.binds.empty());
    EXPECT_TRUE(IsAllZero(g_pBroadcastChannel->broadcastAddress));
}

TEST_F(ChannelTest, BroadcastOptionFailureIsReportedAndTheSequenceGoesOn) {
    FakeSockets fake;
    fake.lookupAddress = {10, 231, 0, 1};
    fake.failingOptions = {SO_BROADCAST, SO_REUSEADDR};
    CaptureStderr();
    OpenChannel();
    ExpectDiagnostic(GetCapturedStderr(), "Can't set SO_BROADCAST option on broadcast");
    ASSERT_NE(g_pBroadcastChannel, nullptr);
    EXPECT_EQ(fake.binds.size(), 1u);
    EXPECT_EQ(AddressBytes(g_pBroadcastChannel->broadcastAddress), Bytes({255, 255, 255, 255}));
}

TEST_F(ChannelTest, BindFailureIsReportedAndLeavesNoDestination) {
    FakeSockets fake;
    fake.lookupAddress = {10, 231, 0, 1};
    fake.bindResult = -1;
    CaptureStderr();
    OpenChannel();
    ExpectDiagnostic(GetCapturedStderr(), "Can't bind on broadcast");
    ASSERT_NE(g_pBroadcastChannel, nullptr);
    EXPECT_EQ(g_pBroadcastChannel->socket, FakeSockets::kSocket);
    EXPECT_TRUE(IsAllZero(g_pBroadcastChannel->broadcastAddress));

    // With no destination a send fails here, instead of going to 0.0.0.0.
    EXPECT_EQ(g_pBroadcastChannel->SendToBroadcast("x", 1), -1);
    EXPECT_TRUE(fake.sent.empty());
}

TEST_F(ChannelTest, SuccessfulOpeningBindsToTheOwnAddressAndAimsAtPort9029) {
    FakeSockets fake;
    fake.hostName = "pellvane-ws";
    fake.lookupAddress = {10, 231, 0, 1};
    CaptureStderr();
    EXPECT_EQ(OpenChannel(), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    BroadcastChannel* channel = g_pBroadcastChannel;
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->socket, FakeSockets::kSocket);

    // Broadcasts first, then address reuse, each a 4-byte non-zero value.
    ASSERT_GE(fake.options.size(), 2u);
    EXPECT_EQ(fake.options[0].level, SOL_SOCKET);
    EXPECT_EQ(fake.options[0].name, SO_BROADCAST);
    EXPECT_EQ(fake.options[0].length, 4);
    EXPECT_NE(fake.options[0].value, 0);
    EXPECT_EQ(fake.options[1].level, SOL_SOCKET);
    EXPECT_EQ(fake.options[1].name, SO_REUSEADDR);
    EXPECT_EQ(fake.options[1].length, 4);
    EXPECT_NE(fake.options[1].value, 0);

    // Bound to the host name's address, any port; not to the wildcard.
    ASSERT_EQ(fake.binds.size(), 1u);
    ExpectOnlyFamilyAndAddress(fake.binds[0], AF_INET, {10, 231, 0, 1});
    ExpectOnlyFamilyAndAddress(channel->localAddress, AF_INET, {10, 231, 0, 1});

    // 255.255.255.255, port 9029 = 0x2345, both in network byte order.
    EXPECT_EQ(channel->broadcastAddress.sin_family, AF_INET);
    EXPECT_EQ(AddressBytes(channel->broadcastAddress), Bytes({255, 255, 255, 255}));
    EXPECT_EQ(PortBytes(channel->broadcastAddress), Bytes({0x23, 0x45}));

    EXPECT_EQ(channel->SendToBroadcast("abc", 3), 3);
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.sent[0], Bytes({'a', 'b', 'c'}));
    EXPECT_EQ(PortBytes(fake.sentTo[0]), Bytes({0x23, 0x45}));

    // Opening again keeps the one channel; closing closes its socket.
    EXPECT_EQ(OpenChannel(), 0);
    EXPECT_EQ(g_pBroadcastChannel, channel);
    EXPECT_EQ(fake.socketCalls, 1);
    CloseChannel();
    EXPECT_EQ(g_pBroadcastChannel, nullptr);
    EXPECT_EQ(fake.closed, std::vector<SocketHandle>({FakeSockets::kSocket}));
    CloseChannel();  // a second close has nothing left to do
    EXPECT_EQ(fake.closed.size(), 1u);
}

// A large segment's answers wait in the receive buffer until the next drain,
// which reads until the socket is empty: the biggest buffer there is, and
// sockets that never block.
TEST_F(ChannelTest, SocketsGetTheLargestReceiveBufferGrantedAndDoNotBlock) {
    FakeSockets fake;
    fake.lookupAddress = {10, 231, 0, 1};
    fake.interfaceAddresses = {{10, 232, 0, 1}};
    fake.largestReceiveBuffer = 3 * 1024 * 1024;
    OpenChannel();
    std::vector<int> granted;
    for (const FakeSockets::Option& option : fake.options)
        if (option.name == SO_RCVBUF)
            granted.push_back(option.value);
    // Each socket halves its request until one is granted.
    ASSERT_EQ(granted.size() % 2, 0u);
    const size_t perSocket = granted.size() / 2;
    ASSERT_GE(perSocket, 2u);
    for (size_t i = 1; i < perSocket; ++i)
        EXPECT_EQ(granted[i], granted[i - 1] / 2) << i;
    EXPECT_EQ(granted[perSocket - 1], 2 * 1024 * 1024);
    EXPECT_EQ(std::vector<int>(granted.begin() + perSocket, granted.end()),
              std::vector<int>(granted.begin(), granted.begin() + perSocket));
    EXPECT_EQ(fake.nonBlocking,
              std::set<SocketHandle>({FakeSockets::kSocket, FakeSockets::kSocket + 1}));
}

TEST_F(ChannelTest, EveryFurtherAddressGetsASocketOpenedLikeTheFirst) {
    FakeSockets fake;
    fake.lookupAddress = {10, 231, 0, 1};
    // A second card listed twice, the host name's own, one that refuses the bind.
    fake.interfaceAddresses = {{10, 232, 0, 1}, {10, 231, 0, 1}, {10, 233, 0, 1}, {10, 232, 0, 1}};
    fake.refusedBinds = {{10, 233, 0, 1}};
    CaptureStderr();
    OpenChannel();
    ExpectDiagnostic(GetCapturedStderr(), "Can't bind on broadcast");
    BroadcastChannel* channel = g_pBroadcastChannel;
    ASSERT_NE(channel, nullptr);

    // The host name's socket first; each other one bound to its own address.
    ASSERT_EQ(fake.binds.size(), 3u);
    ExpectOnlyFamilyAndAddress(fake.binds[0], AF_INET, {10, 231, 0, 1});
    ExpectOnlyFamilyAndAddress(fake.binds[1], AF_INET, {10, 232, 0, 1});
    ExpectOnlyFamilyAndAddress(fake.binds[2], AF_INET, {10, 233, 0, 1});
    ASSERT_EQ(fake.options.size(), 9u);
    for (size_t i = 3; i < fake.options.size(); ++i)
        EXPECT_EQ(fake.options[i].name, fake.options[i % 3].name) << i;
    const SocketHandle second = FakeSockets::kSocket + 1;
    EXPECT_EQ(fake.closed, std::vector<SocketHandle>({FakeSockets::kSocket + 2}));
    ASSERT_EQ(channel->GetFurtherCardCount(), 1);
    EXPECT_EQ(channel->GetFurtherCard(0).socket, second);

    EXPECT_EQ(channel->SendToBroadcast("abc", 3), 3);
    EXPECT_EQ(fake.sentFrom, std::vector<SocketHandle>({FakeSockets::kSocket, second}));
    for (const sockaddr_in& to : fake.sentTo) {
        EXPECT_EQ(AddressBytes(to), Bytes({255, 255, 255, 255}));
        EXPECT_EQ(PortBytes(to), Bytes({0x23, 0x45}));
    }

    // Read again: the second card has gone, another has come.
    fake.interfaceAddresses = {{10, 231, 0, 1}, {10, 234, 0, 1}};
    channel->RefreshCards();
    EXPECT_EQ(fake.closed.back(), second);
    ASSERT_EQ(channel->GetFurtherCardCount(), 1);
    EXPECT_EQ(AddressBytes(fake.binds.back()), Bytes({10, 234, 0, 1}));
    // A list that cannot be read keeps the sockets there are.
    fake.interfaceListFails = true;
    channel->RefreshCards();
    EXPECT_EQ(channel->GetFurtherCardCount(), 1);

    const SocketHandle third = channel->GetFurtherCard(0).socket;
    CloseChannel();
    EXPECT_EQ(std::vector<SocketHandle>(fake.closed.end() - 2, fake.closed.end()),
              std::vector<SocketHandle>({FakeSockets::kSocket, third}));
}

// One socket per subnet (address and netmask): a second one on a segment
// would carry every request to it twice.
TEST_F(ChannelTest, EachSubnetGetsOneSocket) {
    const Bytes own = {10, 231, 0, 1};
    const Bytes m24 = {255, 255, 255, 0};
    struct Case {
        const char* name;
        std::vector<Bytes> addresses, masks;
        std::vector<Bytes> refused;  // binds that fail
        std::vector<Bytes> cards;    // the further sockets' addresses, in order
    } cases[] = {
        {"a second address on the host name's subnet", {own, {10, 231, 0, 2}}, {m24, m24}, {}, {}},
        {"listed before the host name's", {{10, 231, 0, 2}, own}, {m24, m24}, {}, {}},
        {"two segments", {own, {10, 232, 0, 1}}, {m24, m24}, {}, {{10, 232, 0, 1}}},
        {"two addresses on the second segment",
         {own, {10, 232, 0, 1}, {10, 232, 0, 7}},
         {m24, m24, m24},
         {},
         {{10, 232, 0, 1}}},
        {"the same network with another mask",
         {own, {10, 231, 0, 9}},
         {m24, {255, 255, 0, 0}},
         {},
         {{10, 231, 0, 9}}},
        {"an address without a mask of its own",
         {own, {10, 231, 0, 2}},
         {m24, {255, 255, 255, 255}},
         {},
         {{10, 231, 0, 2}}},
        // A host name from a stale hosts file: its socket serves only itself.
        {"host name's address not listed", {{10, 231, 0, 2}}, {m24}, {}, {{10, 231, 0, 2}}},
        // An unbound host-name socket serves no subnet, not even its own; an
        // address whose bind fails leaves its subnet to the next one.
        {"host-name socket unbound",
         {own, {10, 231, 0, 2}, {10, 231, 0, 3}, {10, 232, 0, 1}},
         {m24, m24, m24, m24},
         {own, {10, 231, 0, 2}},
         {{10, 231, 0, 3}, {10, 232, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSockets fake;
        fake.lookupAddress = own;
        fake.interfaceAddresses = c.addresses;
        fake.interfaceNetmasks = c.masks;
        fake.refusedBinds = c.refused;
        CaptureStderr();
        OpenChannel();
        GetCapturedStderr();
        ASSERT_NE(g_pBroadcastChannel, nullptr);
        std::vector<Bytes> cards;
        for (int i = 0; i < g_pBroadcastChannel->GetFurtherCardCount(); ++i) {
            const DWORD address = g_pBroadcastChannel->GetFurtherCard(i).address;
            const unsigned char* p = reinterpret_cast<const unsigned char*>(&address);
            cards.emplace_back(p, p + 4);
        }
        EXPECT_EQ(cards, c.cards);
        // The host-name socket, bound or not, and the cards' stay open.
        EXPECT_EQ(fake.m_open.size(), 1 + c.cards.size());
        CloseChannel();
    }
}

// A subnet keeps its socket when the platform lists another of its addresses
// first, and loses it when the host-name socket comes to serve it.
TEST_F(ChannelTest, ASubnetKeepsItsSocketAcrossRefreshes) {
    FakeSockets fake;
    fake.lookupAddress = {10, 231, 0, 1};
    fake.interfaceAddresses = {{10, 232, 0, 5}};
    OpenChannel();
    BroadcastChannel* channel = g_pBroadcastChannel;
    ASSERT_EQ(channel->GetFurtherCardCount(), 1);
    const SocketHandle card = channel->GetFurtherCard(0).socket;

    fake.interfaceAddresses = {{10, 232, 0, 4}, {10, 232, 0, 5}};
    channel->RefreshCards();
    ASSERT_EQ(channel->GetFurtherCardCount(), 1);
    EXPECT_EQ(channel->GetFurtherCard(0).socket, card);
    EXPECT_TRUE(fake.closed.empty());
    EXPECT_EQ(fake.binds.size(), 2u);

    // The host name's address now listed with a mask that takes in the card's.
    fake.interfaceAddresses = {{10, 231, 0, 1}, {10, 232, 0, 5}};
    fake.interfaceNetmasks = {{255, 0, 0, 0}, {255, 0, 0, 0}};
    channel->RefreshCards();
    EXPECT_EQ(channel->GetFurtherCardCount(), 0);
    EXPECT_EQ(fake.closed, std::vector<SocketHandle>({card}));
}

// On Windows a receive from an unbound socket fails (WSAEINVAL) whatever is
// queued: a drain that read it would never find the channel empty.
TEST_F(ChannelTest, UnboundHostNameSocketIsNeitherWaitedOnNorRead) {
    FakeSockets fake;
    fake.lookupAddress = {10, 231, 0, 1};
    fake.refusedBinds = {{10, 231, 0, 1}};
    fake.interfaceAddresses = {{10, 231, 0, 1}, {10, 231, 0, 2}};
    CaptureStderr();
    OpenChannel();
    GetCapturedStderr();
    BroadcastChannel* channel = g_pBroadcastChannel;
    ASSERT_EQ(channel->socket, FakeSockets::kSocket);
    ASSERT_EQ(channel->GetFurtherCardCount(), 1);
    const SocketHandle card = channel->GetFurtherCard(0).socket;

    EXPECT_EQ(channel->SendToBroadcast("x", 1), 1);
    EXPECT_EQ(fake.sentFrom, std::vector<SocketHandle>({card}));
    fake.QueueDatagram({'a'}, card);
    fake.QueueDatagram({'b'}, card);
    char buffer[4];
    ASSERT_GT(channel->WaitReadableMs(1000), 0);
    EXPECT_EQ(channel->ReceiveDatagram(buffer, sizeof(buffer)), 1);
    EXPECT_EQ(buffer[0], 'a');
    EXPECT_EQ(channel->ReceiveQueued(buffer, sizeof(buffer)), 1);
    EXPECT_EQ(channel->ReceiveQueued(buffer, sizeof(buffer)), kNothingQueued);
    // Nothing is left to read, and the host-name socket is not the fallback.
    EXPECT_EQ(channel->ReceiveDatagram(buffer, sizeof(buffer)), -1);
    EXPECT_EQ(channel->DiscardPending(10), 0);
    EXPECT_EQ(fake.waitedOn.count(FakeSockets::kSocket), 0u);
    EXPECT_EQ(fake.receivedFrom.count(FakeSockets::kSocket), 0u);
}

// Each card's fate, and whether the channel can search at all (and why not).
TEST_F(ChannelTest, TheFateOfEachCardIsRecorded) {
    const Bytes own = {10, 231, 0, 1}, second = {10, 232, 0, 1};
    char error[80];
    DescribeSocketError(FakeSockets::kSocketError, error, sizeof(error));
    const std::string host = "10.231.0.1/24 (host name): ";
    const std::string failed = std::string("bind failed: ") + error;
    const std::string nameless = "- (host name): the computer's name lonely-ws has no IPv4 address";
    const std::string unlisted = "-: the network cards could not be listed";
    const struct {
        bool resolves;
        std::vector<Bytes> listed, refused;
        int listFails;  // 1: from the start; 2: at the refresh after the opening
        std::vector<std::string> fates;
        const char* noSearch;  // its start; "" when it can search
    } cases[] = {
        {true,
         {own, {10, 231, 0, 2}, second},
         {second},
         0,
         {host + "bound", "10.231.0.2/24: its subnet has a socket already (10.231.0.1)",
          "10.232.0.1/24: " + failed},
         ""},
        {true,
         {own},
         {own},
         0,
         {host + failed, "10.231.0.1/24: " + failed},
         "no card could be opened for broadcasts (10.231.0.1: bind failed: "},
        {false, {}, {}, 0, {nameless}, "no network card is up with an IPv4 address"},
        {false,
         {},
         {},
         1,
         {nameless, unlisted},
         "the network cards could not be listed, and the computer's name lonely-ws has no IPv4 "
         "address"},
        // The sockets there are stay, and say so.
        {false, {second}, {}, 2, {nameless, "10.232.0.1/24: bound", unlisted}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakeSockets fake;
        fake.hostName = "lonely-ws";
        fake.lookupAddress = c.resolves ? own : Bytes();
        fake.interfaceAddresses = c.listed;
        fake.refusedBinds = c.refused;
        fake.interfaceListFails = c.listFails == 1;
        CaptureStderr();
        OpenChannel();
        fake.interfaceListFails = c.listFails != 0;
        g_pBroadcastChannel->RefreshCards();
        const std::string diagnostics = GetCapturedStderr();
        EXPECT_EQ(diagnostics.find("Can't bind on broadcast: " + std::string(error) + "\n") == 0,
                  !c.refused.empty())
            << diagnostics;
        EXPECT_EQ(CardFates(*g_pBroadcastChannel), c.fates);
        const std::string noSearch = g_pBroadcastChannel->GetNoSearchReason();
        EXPECT_EQ(noSearch.rfind(c.noSearch, 0), 0u) << noSearch;
        EXPECT_EQ(g_pBroadcastChannel->CanSearch(), !*c.noSearch) << noSearch;
        CloseChannel();
    }

    // Subnets beyond the sockets there are go unused, and say why.
    FakeSockets fake;
    for (int i = 0; i < BroadcastChannel::kMostFurtherCards + 1; ++i)
        fake.interfaceAddresses.push_back({10, static_cast<unsigned char>(i), 0, 1});
    OpenChannel();
    const std::vector<std::string> fates = CardFates(*g_pBroadcastChannel);
    ASSERT_EQ(fates.size(), 2u + BroadcastChannel::kMostFurtherCards);
    EXPECT_EQ(fates[BroadcastChannel::kMostFurtherCards], "10.14.0.1/24: bound");
    EXPECT_EQ(fates.back(), "10.15.0.1/24: more than 15 further cards");
}

TEST_F(ChannelTest, CardsAreUsedWhenTheHostNameDoesNotResolve) {
    FakeSockets fake;
    fake.hostName = "lonely-ws";
    fake.interfaceAddresses = {{10, 232, 0, 1}};
    OpenChannel();
    ASSERT_NE(g_pBroadcastChannel, nullptr);
    EXPECT_EQ(g_pBroadcastChannel->socket, kInvalidSocket);
    EXPECT_EQ(g_pBroadcastChannel->SendToBroadcast("x", 1), 1);
    EXPECT_EQ(fake.sentFrom, std::vector<SocketHandle>({FakeSockets::kSocket}));
    fake.QueueDatagram({'y'});
    ASSERT_GT(g_pBroadcastChannel->WaitReadableMs(1000), 0);
    char buffer[4];
    EXPECT_EQ(g_pBroadcastChannel->ReceiveDatagram(buffer, sizeof(buffer)), 1);
}

TEST_F(ChannelTest, DottedHostNameNeedsNoLookup) {
    FakeSockets fake;
    fake.hostName = "10.231.0.7";
    OpenChannel();
    EXPECT_TRUE(fake.lookups.empty());
    ASSERT_EQ(fake.binds.size(), 1u);
    EXPECT_EQ(AddressBytes(fake.binds[0]), Bytes({10, 231, 0, 7}));
}

}  // namespace
