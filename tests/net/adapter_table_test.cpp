#include "net/adapter_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "net/broadcast_channel.h"
#include "net/discovery.h"
#include "net/network_check.h"
#include "tests/net/fake_sockets.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// Every test runs on the fake socket library: by default its host name
// resolves to nothing, so the channel exists without a socket and the table's
// own logic is tested without any traffic.
class AdapterTableTest : public ::testing::Test {
protected:
    FakeSockets m_sockets;
};

// --- Records ---

struct Mac {
    BYTE octet[6];
};

// A record with every byte chosen: `fill` seeds the bytes that are neither
// the MAC nor the addresses, so two records from different fills differ in
// every one of them.
AdapterRecord MakeRecord(Mac mac, DWORD address, DWORD controller, BYTE fill) {
    AdapterRecord r;
    std::memset(&r, fill, sizeof(r));
    r.family = kFamilyIPv4;
    r.address = address;
    std::memcpy(r.hardware, mac.octet, 6);
    r.controller = controller;
    return r;
}

bool SameBytes(const AdapterRecord& a, const AdapterRecord& b) {
    return std::memcmp(&a, &b, sizeof(AdapterRecord)) == 0;
}

std::vector<std::string> IpTexts(const CAdapterTable& table) {
    std::vector<std::string> out;
    for (int i = 0; i < table.GetCount(); ++i) {
        CString text;
        table.GetAt(i)->GetIpText(text);
        out.emplace_back(text.GetString());
    }
    return out;
}

DWORD Ip(BYTE a, BYTE b, BYTE c, BYTE d) {
    BYTE octets[4] = {a, b, c, d};
    DWORD value;
    std::memcpy(&value, octets, 4);
    return value;
}

const Mac kMacA = {{0x00, 0x50, 0xc2, 0x11, 0x22, 0x33}};
const Mac kMacB = {{0x00, 0x50, 0xc2, 0x44, 0x55, 0x66}};
const Mac kMacC = {{0x00, 0x50, 0xc2, 0x77, 0x88, 0x99}};
// Same last three octets as A, other maker prefix.
const Mac kMacAOtherMaker = {{0xaa, 0xbb, 0xcc, 0x11, 0x22, 0x33}};

// --- Life of the table ---

TEST_F(AdapterTableTest, ConstructionRegistersTheTableAndOpensTheChannel) {
    ASSERT_EQ(g_pAdapterTable, nullptr);
    ASSERT_EQ(g_pBroadcastChannel, nullptr);
    {
        CAdapterTable table;
        EXPECT_EQ(g_pAdapterTable, &table);
        EXPECT_NE(g_pBroadcastChannel, nullptr);
        EXPECT_EQ(table.GetCount(), 0);
    }
    EXPECT_EQ(g_pAdapterTable, nullptr);
    EXPECT_EQ(g_pBroadcastChannel, nullptr);
}

// The records and the list's node blocks are the table's; LeakSanitizer
// (native build) reports any of them left behind.
TEST_F(AdapterTableTest, DestructionFreesEveryRecordAcrossSeveralNodeBlocks) {
    auto* table = new CAdapterTable();
    for (BYTE i = 0; i < 25; ++i)
        table->Upsert(MakeRecord({{0, 0, 0, 1, 2, i}}, Ip(10, 0, 0, i), 0, i));
    EXPECT_EQ(table->GetCount(), 25);
    delete table;
    EXPECT_EQ(g_pAdapterTable, nullptr);
}

// --- Merging ---

TEST_F(AdapterTableTest, TwoAnswersFromOneAdapterLeaveOneElementHoldingTheSecond) {
    CAdapterTable table;
    AdapterRecord first = MakeRecord(kMacA, Ip(10, 0, 0, 5), 0, 0x11);
    AdapterRecord second = MakeRecord(kMacA, Ip(10, 0, 0, 6), Ip(10, 0, 0, 1), 0x22);
    EXPECT_TRUE(table.Upsert(first));
    EXPECT_TRUE(table.Upsert(second));
    ASSERT_EQ(table.GetCount(), 1);
    EXPECT_TRUE(SameBytes(*table.GetAt(0), second));
}

TEST_F(AdapterTableTest, MacsDifferingOnlyInTheMakerOctetsAreOneAdapter) {
    CAdapterTable table;
    table.Upsert(MakeRecord(kMacA, Ip(10, 0, 0, 5), 0, 0x11));
    AdapterRecord other = MakeRecord(kMacAOtherMaker, Ip(10, 0, 0, 9), 0, 0x33);
    table.Upsert(other);
    ASSERT_EQ(table.GetCount(), 1);
    EXPECT_TRUE(SameBytes(*table.GetAt(0), other));
    CString mac;
    table.GetAt(0)->GetMacText(mac);
    EXPECT_STREQ(mac, "aa:bb:cc:11:22:33");
}

// Any one of the last three octets differing makes another adapter.
TEST_F(AdapterTableTest, EachOfTheLastThreeOctetsTellsAdaptersApart) {
    CAdapterTable table;
    table.Upsert(MakeRecord(kMacA, Ip(10, 0, 0, 1), 0, 0));
    for (int octet = 3; octet < 6; ++octet) {
        Mac mac = kMacA;
        mac.octet[octet] ^= 0x80;
        table.Upsert(MakeRecord(mac, Ip(10, 0, 0, static_cast<BYTE>(octet)), 0, 0));
    }
    EXPECT_EQ(table.GetCount(), 4);
}

TEST_F(AdapterTableTest, OverwritingKeepsOrderOfFirstDiscoveryAndReplacesEveryField) {
    CAdapterTable table;
    table.Upsert(MakeRecord(kMacB, Ip(10, 0, 0, 2), 0, 0x01));
    table.Upsert(MakeRecord(kMacA, Ip(10, 0, 0, 1), 0, 0x01));
    table.Upsert(MakeRecord(kMacC, Ip(10, 0, 0, 3), 0, 0x01));
    AdapterRecord* middle = table.GetAt(1);

    // A's next answer differs from its first in every byte but the MAC.
    AdapterRecord changed = MakeRecord(kMacA, Ip(192, 168, 7, 7), Ip(10, 0, 0, 99), 0xfe);
    changed.family = 0x7f;
    table.Upsert(changed);

    ASSERT_EQ(table.GetCount(), 3);
    EXPECT_EQ(table.GetAt(1), middle);  // overwritten in place, not re-appended
    EXPECT_TRUE(SameBytes(*table.GetAt(1), changed));
    EXPECT_EQ(IpTexts(table), (std::vector<std::string>{"10.0.0.2", "192.168.7.7", "10.0.0.3"}));
    CString status;
    table.GetAt(1)->GetStatusText(status);
    EXPECT_STREQ(status, "Controlled by 10.0.0.99");
}

TEST_F(AdapterTableTest, StoresItsOwnCopyOfTheRecord) {
    CAdapterTable table;
    AdapterRecord record = MakeRecord(kMacA, Ip(10, 0, 0, 1), 0, 0);
    table.Upsert(record);
    record.address = Ip(10, 0, 0, 2);
    EXPECT_EQ(IpTexts(table), std::vector<std::string>{"10.0.0.1"});
}

TEST_F(AdapterTableTest, GetAtGivesNothingOutsideTheElements) {
    CAdapterTable table;
    EXPECT_EQ(table.GetAt(0), nullptr);
    table.Upsert(MakeRecord(kMacA, Ip(10, 0, 0, 1), 0, 0));
    table.Upsert(MakeRecord(kMacB, Ip(10, 0, 0, 2), 0, 0));
    EXPECT_NE(table.GetAt(0), nullptr);
    EXPECT_NE(table.GetAt(table.GetCount() - 1), nullptr);
    EXPECT_EQ(table.GetAt(-1), nullptr);
    EXPECT_EQ(table.GetAt(table.GetCount()), nullptr);
    EXPECT_EQ(table.GetAt(1 << 30), nullptr);
}

// The merge walk ends at an element without a record; what lies beyond it is
// not searched, and the answer is appended instead.
TEST_F(AdapterTableTest, AnElementWithoutRecordEndsTheMergeWalk) {
    CAdapterTable table;
    table.Upsert(MakeRecord(kMacA, Ip(10, 0, 0, 1), 0, 0));
    table.AddTail(nullptr);
    table.Upsert(MakeRecord(kMacB, Ip(10, 0, 0, 2), 0, 0));
    ASSERT_EQ(table.GetCount(), 3);

    table.Upsert(MakeRecord(kMacA, Ip(10, 0, 0, 3), 0, 0));  // found before the gap
    EXPECT_EQ(table.GetCount(), 3);
    table.Upsert(MakeRecord(kMacB, Ip(10, 0, 0, 4), 0, 0));  // beyond it: appended
    ASSERT_EQ(table.GetCount(), 4);
    EXPECT_EQ(table.GetAt(1), nullptr);
    CString ip;
    table.GetAt(0)->GetIpText(ip);
    EXPECT_STREQ(ip, "10.0.0.3");
    table.GetAt(3)->GetIpText(ip);
    EXPECT_STREQ(ip, "10.0.0.4");
}

// Thousands of adapters, past every growth of the suffix index: each answer
// still finds its own element, whatever order the answers come in.
TEST_F(AdapterTableTest, ManyAdaptersKeepOrderAndEachFindsItsOwnElement) {
    CAdapterTable table;
    constexpr int kAdapters = 3000;
    auto mac = [](int i) {
        // Suffixes that differ in every octet, not only the last.
        return Mac{{0x00, 0x50, 0xc2, static_cast<BYTE>(i * 7), static_cast<BYTE>(i >> 4),
                    static_cast<BYTE>(i * 13)}};
    };
    for (int i = 0; i < kAdapters; ++i)
        table.Upsert(MakeRecord(mac(i), static_cast<DWORD>(i), 0, 0));
    ASSERT_EQ(table.GetCount(), kAdapters);
    for (int i = kAdapters - 1; i >= 0; --i)
        table.Upsert(MakeRecord(mac(i), static_cast<DWORD>(i + kAdapters), 0, 0));
    ASSERT_EQ(table.GetCount(), kAdapters);
    POSITION pos = table.GetHeadPosition();
    for (int i = 0; i < kAdapters; ++i) {
        auto* stored = static_cast<AdapterRecord*>(table.GetNext(pos));
        ASSERT_TRUE(SameBytes(*stored, MakeRecord(mac(i), static_cast<DWORD>(i + kAdapters), 0, 0)))
            << i;
    }
}

// Elements taken out through the list leave no stale entry behind, even
// when as many are appended through it before the next merge: the next
// answer of a removed adapter appends it again, and GetAt finds what is
// there, also beyond what the last merge saw.
TEST_F(AdapterTableTest, ElementsRemovedThroughTheListAreForgotten) {
    CAdapterTable table;
    table.Upsert(MakeRecord(kMacA, Ip(10, 0, 0, 1), 0, 0));
    table.Upsert(MakeRecord(kMacB, Ip(10, 0, 0, 2), 0, 0));
    delete static_cast<AdapterRecord*>(table.RemoveHead());
    table.AddTail(new AdapterRecord(MakeRecord(kMacC, Ip(10, 0, 0, 5), 0, 0)));
    EXPECT_EQ(IpTexts(table), (std::vector<std::string>{"10.0.0.2", "10.0.0.5"}));
    table.Upsert(MakeRecord(kMacA, Ip(10, 0, 0, 3), 0, 0));
    table.Upsert(MakeRecord(kMacB, Ip(10, 0, 0, 4), 0, 0));
    table.AddTail(new AdapterRecord(MakeRecord(kMacAOtherMaker, Ip(10, 0, 0, 6), 0, 0)));
    EXPECT_EQ(IpTexts(table),
              (std::vector<std::string>{"10.0.0.4", "10.0.0.5", "10.0.0.3", "10.0.0.6"}));
}

// A full table still updates the adapters it holds; a new one is dropped,
// and stderr hears of it once per exchange.
TEST_F(AdapterTableTest, AFullTableDropsNewAdaptersWithOneLinePerExchange) {
    CAdapterTable table;
    for (int i = 0; i < CAdapterTable::kMostAdapters; ++i) {
        Mac mac = {
            {0, 0, 0, static_cast<BYTE>(i >> 16), static_cast<BYTE>(i >> 8), static_cast<BYTE>(i)}};
        ASSERT_TRUE(table.Upsert(MakeRecord(mac, 0, 0, 0))) << i;
    }
    const Mac kNew = {{0, 0, 0, 0xff, 0xff, 0xff}};
    CaptureStderr();
    EXPECT_FALSE(table.Upsert(MakeRecord(kNew, 0, 0, 0)));
    EXPECT_FALSE(table.Upsert(MakeRecord(kMacA, 0, 0, 0)));
    EXPECT_TRUE(table.Upsert(MakeRecord({{0, 0, 0, 0, 0, 7}}, Ip(10, 0, 0, 7), 0, 0)));
    std::string first = GetCapturedStderr();
    CloseChannel();
    CaptureStderr();
    table.Refresh();  // a new exchange, even one that cannot send
    EXPECT_FALSE(table.Upsert(MakeRecord(kNew, 0, 0, 0)));
    std::string second = GetCapturedStderr();

    for (const std::string& said : {first, second}) {
        EXPECT_EQ(said, "Adapter table full, answers from new adapters dropped\n");
    }
    ASSERT_EQ(table.GetCount(), CAdapterTable::kMostAdapters);
    CString ip;
    table.GetAt(7)->GetIpText(ip);
    EXPECT_STREQ(ip, "10.0.0.7");
}

// --- Refresh ---

TEST_F(AdapterTableTest, RefreshWithoutChannelFailsAtOnceAndChangesNothing) {
    CAdapterTable table;
    table.Upsert(MakeRecord(kMacA, Ip(10, 0, 0, 1), 0, 0));
    CloseChannel();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(table.Refresh(), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(IpTexts(table), std::vector<std::string>{"10.0.0.1"});
}

std::vector<unsigned char> Reply(Mac mac, BYTE lastIpOctet) {
    std::vector<unsigned char> reply(42, 0);
    std::memcpy(reply.data(), kDiscoveryReplyTag, kDiscoveryReplyTagLength);
    BYTE ip[4] = {10, 0, 0, lastIpOctet};
    std::memcpy(reply.data() + 16, ip, 4);
    std::memcpy(reply.data() + 20, mac.octet, 6);
    return reply;
}

// The discovery answers reach this table through the process-wide pointer,
// in arrival order; foreign datagrams are dropped by the exchange.
TEST_F(AdapterTableTest, RefreshMergesEveryAnswerOfTheExchange) {
    m_sockets.lookupAddress = {10, 0, 0, 1};  // a channel with a bound socket
    CAdapterTable table;
    table.Upsert(MakeRecord(kMacC, Ip(10, 0, 0, 30), 0, 0));  // from an earlier discovery
    const char foreign[] = "HELLO SOMEONE ELSE";
    m_sockets.QueueDatagram(Reply(kMacA, 1));
    m_sockets.QueueDatagram(Reply(kMacB, 2));
    m_sockets.QueueDatagram(std::vector<unsigned char>(foreign, foreign + sizeof(foreign)));
    m_sockets.QueueDatagram(Reply(kMacA, 11));
    m_sockets.QueueDatagram(Reply(kMacAOtherMaker, 12));
    EXPECT_EQ(table.Refresh(), 0);
    EXPECT_EQ(m_sockets.sent.size(), 1u);
    EXPECT_TRUE(m_sockets.datagrams.empty());
    EXPECT_EQ(IpTexts(table), (std::vector<std::string>{"10.0.0.30", "10.0.0.12", "10.0.0.2"}));
}

// The addresses of the cards that heard the adapter at `index`, sorted: the
// channel takes its cards in turns, so the order they heard it in varies.
std::vector<DWORD> CardsAt(const CAdapterTable& table, int index) {
    InterfaceAddress cards[CAdapterTable::kMostCards];
    const int count = table.GetCardsAt(index, cards, CAdapterTable::kMostCards);
    std::vector<DWORD> addresses;
    for (int i = 0; i < count; ++i)
        addresses.push_back(cards[i].address);
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

// Each answer is noted with the card it came through; an adapter that two
// cards hear in one discovery keeps both, and a later discovery that hears
// it starts the set over.
TEST_F(AdapterTableTest, EachAdapterKeepsEveryCardItAnsweredThrough) {
    m_sockets.lookupAddress = {10, 0, 0, 1};
    m_sockets.interfaceAddresses = {{10, 0, 0, 1}, {10, 0, 1, 1}};
    CAdapterTable table;
    const SocketHandle second = g_pBroadcastChannel->GetFurtherCard(0).socket;
    const DWORD first = Ip(10, 0, 0, 1), other = Ip(10, 0, 1, 1);
    m_sockets.QueueDatagram(Reply(kMacA, 1));
    m_sockets.QueueDatagram(Reply(kMacB, 2), second);  // 10.0.0.2 heard on the 10.0.1 card
    m_sockets.QueueDatagram(Reply(kMacC, 3), second);
    m_sockets.QueueDatagram(Reply(kMacC, 3));
    m_sockets.QueueDatagram(Reply(kMacC, 3), second);  // kept once
    EXPECT_EQ(table.Refresh(1), 0);
    ASSERT_EQ(table.GetCount(), 3);
    EXPECT_EQ(CardsAt(table, 0), std::vector<DWORD>{first});
    EXPECT_EQ(CardsAt(table, 1), std::vector<DWORD>{other});
    EXPECT_EQ(CardsAt(table, 2), (std::vector<DWORD>{first, other}));
    EXPECT_EQ(table.GetAnsweredCount(), 3);
    InterfaceAddress card;
    ASSERT_EQ(table.GetCardsAt(1, &card, 1), 1);
    EXPECT_EQ(card.netmask, Ip(255, 255, 255, 0));

    // The next discovery hears C through one card only, A not at all; an
    // answer without a known card keeps the cards there are.
    m_sockets.QueueDatagram(Reply(kMacC, 3), second);
    table.Refresh(1);
    table.Upsert(MakeRecord(kMacB, Ip(10, 0, 0, 2), 0, 0));
    EXPECT_EQ(CardsAt(table, 2), std::vector<DWORD>{other});
    EXPECT_EQ(CardsAt(table, 0), std::vector<DWORD>{first});
    EXPECT_EQ(CardsAt(table, 1), std::vector<DWORD>{other});
    EXPECT_EQ(CardsAt(table, 3), std::vector<DWORD>{});
    // Heard now: C in the exchange, B merged after it; A is only listed.
    EXPECT_EQ(table.GetAnsweredCount(), 2);
    EXPECT_FALSE(table.AnsweredLastRefreshAt(0));
    EXPECT_TRUE(table.AnsweredLastRefreshAt(1));
    EXPECT_TRUE(table.AnsweredLastRefreshAt(2));
    EXPECT_FALSE(table.AnsweredLastRefreshAt(3));
    table.Refresh(0);
    EXPECT_EQ(table.GetAnsweredCount(), 0);
    EXPECT_FALSE(table.AnsweredLastRefreshAt(2));
}

// --- The network check ---

TEST_F(AdapterTableTest, NetworkCheckFindsEachKindOfAddressFault) {
    const InterfaceAddress lab = {Ip(10, 231, 0, 1), Ip(255, 255, 255, 0)};
    const InterfaceAddress office = {Ip(192, 168, 5, 10), Ip(255, 255, 0, 0)};
    const InterfaceAddress single = {Ip(10, 9, 9, 9), Ip(255, 255, 255, 255)};
    const InterfaceAddress bench = {Ip(192, 168, 0, 1), Ip(255, 255, 255, 0)};
    const InterfaceAddress pair = {Ip(10, 9, 0, 0), Ip(255, 255, 255, 254)};
    const InterfaceAddress none = {0, 0};
    const InterfaceAddress own[] = {lab, office, {Ip(10, 231, 0, 2), Ip(255, 255, 255, 0)}};
    const Mac macD = {{0x00, 0x50, 0xc2, 0xaa, 0xbb, 0xcc}};
    CAdapterTable table;
    // Eight adapters: through the lab card, two with one address, one heard
    // through the office card, one through a /32 card, one on no known card,
    // one heard through both the lab and the bench card and one through a /31.
    const struct {
        Mac mac;
        DWORD address;
        InterfaceAddress card;
    } listed[] = {
        {kMacA, Ip(10, 231, 0, 21), lab},
        {kMacB, Ip(10, 231, 0, 22), lab},
        {kMacC, Ip(10, 231, 0, 22), lab},
        {macD, Ip(192, 168, 7, 1), office},
        {{{1, 2, 3, 4, 5, 6}}, Ip(172, 16, 0, 1), single},
        {{{1, 2, 3, 7, 8, 9}}, Ip(10, 1, 1, 1), none},
        {{{1, 2, 3, 0, 0, 6}}, Ip(192, 168, 0, 10), lab},
        {{{1, 2, 3, 0, 0, 6}}, Ip(192, 168, 0, 10), bench},
        {{{1, 2, 3, 0, 0, 7}}, Ip(10, 9, 0, 1), pair},
    };
    for (const auto& adapter : listed)
        table.Upsert(MakeRecord(adapter.mac, adapter.address, 0, 0),
                     adapter.card.address ? &adapter.card : nullptr);
    const CNetworkCheck check(table, own, 3);

    const std::string outsideLab = "not reachable from this workstation: outside 10.231.0.0/24";
    const struct {
        const char* name;
        int index;
        DWORD address;  // 0xFFFFFFFF: the adapter's own
        std::vector<std::string> texts;
        bool reachable;
        DWORD via = 0;  // the card named as the one it answered through; 0: not checked
    } cases[] = {
        {"in the card's subnet", 0, 0xFFFFFFFFu, {}, true},
        {"the unchanged address", 0, Ip(10, 231, 0, 21), {}, true},
        {"shared by two adapters", 1, 0xFFFFFFFFu, {"same address as 00:50:c2:77:88:99"}, true},
        {"the other of the two", 2, 0xFFFFFFFFu, {"same address as 00:50:c2:44:55:66"}, true},
        {"another's address",
         0,
         Ip(10, 231, 0, 22),
         {"same address as 00:50:c2:44:55:66 and 1 other adapter"},
         true},
        {"another subnet", 0, Ip(10, 231, 1, 21), {outsideLab}, false},
        {"0.0.0.0",
         0,
         0,
         {"not reachable from this workstation: 0.0.0.0 is not an address"},
         false},
        {"the subnet's broadcast address",
         0,
         Ip(10, 231, 0, 255),
         {"the broadcast address of 10.231.0.0/24"},
         true},
        {"the subnet's network address",
         0,
         Ip(10, 231, 0, 0),
         {"the network address of 10.231.0.0/24"},
         true},
        {"the workstation's", 0, Ip(10, 231, 0, 2), {"same address as this workstation"}, true},
        {"the workstation's on another card",
         0,
         Ip(192, 168, 5, 10),
         {outsideLab, "same address as this workstation"},
         false},
        {"through a /16 card", 3, 0xFFFFFFFFu, {}, true},
        {"outside the /16",
         3,
         Ip(192, 169, 0, 1),
         {"not reachable from this workstation: outside 192.168.0.0/16"},
         false},
        {"the /16's broadcast address",
         3,
         Ip(192, 168, 255, 255),
         {"the broadcast address of 192.168.0.0/16"},
         true},
        {"a /24's broadcast address inside a /16", 3, Ip(192, 168, 0, 255), {}, true},
        {"a /32 card says nothing of its segment", 4, Ip(172, 16, 0, 2), {}, true},
        {"a /32 card's own address has no subnet around it", 4, Ip(10, 9, 9, 9), {}, true},
        {"a /31 has two hosts, the lower", 7, Ip(10, 9, 0, 0), {}, true, pair.address},
        {"a /31 has two hosts, the upper", 7, 0xFFFFFFFFu, {}, true, pair.address},
        {"heard through two cards, in the second's subnet",
         6,
         0xFFFFFFFFu,
         {},
         true,
         bench.address},
        {"moved into the first's subnet", 6, Ip(10, 231, 0, 24), {}, true, lab.address},
        {"outside both",
         6,
         Ip(172, 20, 0, 1),
         {"not reachable from this workstation: outside 10.231.0.0/24 and 192.168.0.0/24"},
         false,
         lab.address},
        {"the second's broadcast address",
         6,
         Ip(192, 168, 0, 255),
         {"the broadcast address of 192.168.0.0/24"},
         true},
        {"0.0.0.0 through a /32 card",
         4,
         0,
         {"not reachable from this workstation: 0.0.0.0 is not an address"},
         false},
        {"no known card", 5, Ip(10, 99, 0, 1), {}, true},
        {"no adapter at the index", 8, 0xFFFFFFFFu, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AdapterFindings findings = c.address == 0xFFFFFFFFu
                                       ? check.Check(c.index)
                                       : check.CheckAddress(c.index, c.address);
        std::vector<std::string> texts;
        for (const CString& text : check.Describe(findings))
            texts.emplace_back(text.GetString());
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(findings.Any(), !c.texts.empty());
        EXPECT_EQ(findings.IsReachable(), c.reachable);
        if (c.via) {
            EXPECT_EQ(findings.Via().address, c.via);
        }
    }
    EXPECT_STREQ(check.DescribeAll(check.CheckAddress(0, Ip(10, 231, 1, 22))).GetString(),
                 outsideLab.c_str());
    EXPECT_STREQ(check.DescribeAll(check.CheckAddress(1, Ip(192, 168, 5, 10)), " | ").GetString(),
                 (outsideLab + " | same address as this workstation").c_str());
}

}  // namespace
