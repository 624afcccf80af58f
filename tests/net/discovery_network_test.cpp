// Discovery against the adapter simulator over real UDP, inside the private
// test network. The expected bytes are written out from the wire layout.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "net/adapter_table.h"
#include "net/broadcast_channel.h"
#include "net/discovery.h"
#include "tests/support/simulator_test.h"
#include "tests/support/network_env.h"
#include "tests/support/sim_process.h"

namespace {

std::vector<AdapterRecord> g_records;

void Collect(const AdapterRecord* record) {
    g_records.push_back(*record);
}

std::vector<BYTE> Bytes(const void* data, size_t length) {
    const BYTE* p = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(p, p + length);
}

std::string Text(bool (AdapterRecord::*getter)(CString&) const, const AdapterRecord& record) {
    CString text;
    EXPECT_TRUE((record.*getter)(text));
    return text.GetString();
}

class DiscoveryNetworkTest : public SimulatorTest {
protected:
    void SetUp() override {
        SimulatorTest::SetUp();
        g_records.clear();
    }

    void TearDown() override {
        CloseChannel();
        SimulatorTest::TearDown();
    }

    // One two-second discovery on a freshly opened channel; returns its length.
    double Discover() {
        OpenChannel();
        EXPECT_NE(g_pBroadcastChannel, nullptr);
        if (!g_pBroadcastChannel)
            return 0;
        EXPECT_NE(g_pBroadcastChannel->socket, kInvalidSocket) << "channel has no socket";
        EXPECT_EQ(g_pBroadcastChannel->broadcastAddress.sin_family, AF_INET) << "bind failed";
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(DiscoverAdapters(2, Collect), 0);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    // How many log lines of the simulator start with `what` after the time.
    int CountLogLines(const std::string& what) const {
        std::string log = m_sim.ReadLog();
        int count = 0;
        for (size_t at = log.find(" " + what); at != std::string::npos;
             at = log.find(" " + what, at + 1))
            ++count;
        return count;
    }
};

TEST_F(DiscoveryNetworkTest, AdaptersArriveInOrderWithEveryField) {
    StartSimulator(
        {"--adapter", "10.231.0.20,00:1a:2b:3c:4d:5e",  //
         "--adapter", "10.231.0.21,00:1a:2b:3c:4d:5f,10.231.0.1,a1a2a3a4b1b2b3b4b5b6b7b8",
         "--adapter", "192.168.10.200,02:00:00:00:00:01,10.231.0.77,0102030405060708090a0b0c"});
    double seconds = Discover();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 3.5);
    ASSERT_EQ(g_records.size(), 3u);

    const AdapterRecord& a = g_records[0];
    EXPECT_EQ(a.family, 2);
    EXPECT_EQ(Bytes(&a.address, 4), (std::vector<BYTE>{10, 231, 0, 20}));
    EXPECT_EQ(Bytes(a.hardware, 8), (std::vector<BYTE>{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0, 0}));
    EXPECT_EQ(a.controller, 0u);
    EXPECT_EQ(Text(&AdapterRecord::GetStatusText, a), "Ready");

    // Reply bytes 26-27 appear both after the MAC and at the start of carried1.
    const AdapterRecord& b = g_records[1];
    EXPECT_EQ(b.family, 2);
    EXPECT_EQ(Bytes(&b.address, 4), (std::vector<BYTE>{10, 231, 0, 21}));
    EXPECT_EQ(Bytes(b.hardware, 8),
              (std::vector<BYTE>{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5f, 0xa1, 0xa2}));
    EXPECT_EQ(Bytes(b.carried1, 4), (std::vector<BYTE>{0xa1, 0xa2, 0xa3, 0xa4}));
    EXPECT_EQ(Bytes(&b.controller, 4), (std::vector<BYTE>{10, 231, 0, 1}));
    EXPECT_EQ(Bytes(b.carried2, 4), (std::vector<BYTE>{0xb1, 0xb2, 0xb3, 0xb4}));
    EXPECT_EQ(Bytes(b.carried3, 4), (std::vector<BYTE>{0xb5, 0xb6, 0xb7, 0xb8}));
    EXPECT_EQ(Text(&AdapterRecord::GetIpText, b), "10.231.0.21");
    EXPECT_EQ(Text(&AdapterRecord::GetMacText, b), "00:1a:2b:3c:4d:5f");
    EXPECT_EQ(Text(&AdapterRecord::GetStatusText, b), "Controlled by 10.231.0.1");

    const AdapterRecord& c = g_records[2];
    EXPECT_EQ(Text(&AdapterRecord::GetIpText, c), "192.168.10.200");
    EXPECT_EQ(Text(&AdapterRecord::GetMacText, c), "02:00:00:00:00:01");
    EXPECT_EQ(Text(&AdapterRecord::GetStatusText, c), "Controlled by 10.231.0.77");
    EXPECT_EQ(Bytes(c.carried3, 4), (std::vector<BYTE>{0x09, 0x0a, 0x0b, 0x0c}));

    // Exactly one request went out, and it is "HELLO PRUX" with its NUL.
    EXPECT_EQ(CountLogLines("recv from"), 1) << m_sim.ReadLog();
    EXPECT_NE(m_sim.ReadLog().find("len 11: 48 45 4c 4c 4f 20 50 52 55 58 00\n"), std::string::npos)
        << m_sim.ReadLog();
}

TEST_F(DiscoveryNetworkTest, DuplicateAnswersGiveTwoCallbacksEach) {
    StartSimulator({"--adapter", "10.231.0.30,00:00:00:00:00:30", "--adapter",
                    "10.231.0.31,00:00:00:00:00:31", "--duplicate"});
    Discover();
    ASSERT_EQ(g_records.size(), 4u);
    std::vector<std::string> order;
    for (const AdapterRecord& r : g_records)
        order.push_back(Text(&AdapterRecord::GetIpText, r));
    EXPECT_EQ(order, (std::vector<std::string>{"10.231.0.30", "10.231.0.30", "10.231.0.31",
                                               "10.231.0.31"}));
}

TEST_F(DiscoveryNetworkTest, ForeignShortAndOversizedDatagramsAreIgnored) {
    StartSimulator({"--adapter", "10.231.0.40,00:00:00:00:00:40", "--foreign", "--oversized",
                    "--short", "14"});
    Discover();
    ASSERT_EQ(g_records.size(), 1u);
    EXPECT_EQ(Text(&AdapterRecord::GetIpText, g_records[0]), "10.231.0.40");
    // The bad datagrams were really sent: they were dropped, not lost.
    EXPECT_EQ(CountLogLines("send to"), 4) << m_sim.ReadLog();
}

TEST_F(DiscoveryNetworkTest, FifteenByteReplyGivesAZeroRecord) {
    StartSimulator({"--adapter", "10.231.0.50,00:00:00:00:00:50,10.231.0.1", "--short", "15"});
    Discover();
    ASSERT_EQ(g_records.size(), 2u);
    EXPECT_EQ(Text(&AdapterRecord::GetIpText, g_records[0]), "10.231.0.50");

    const AdapterRecord& zero = g_records[1];
    EXPECT_EQ(zero.family, 2);
    const BYTE* rest = reinterpret_cast<const BYTE*>(&zero) + 4;
    EXPECT_EQ(Bytes(rest, 28), std::vector<BYTE>(28, 0));
    EXPECT_EQ(Text(&AdapterRecord::GetIpText, zero), "0.0.0.0");
    EXPECT_EQ(Text(&AdapterRecord::GetMacText, zero), "00:00:00:00:00:00");
    EXPECT_EQ(Text(&AdapterRecord::GetStatusText, zero), "Ready");
}

TEST_F(DiscoveryNetworkTest, SilentAdapterIsNotFoundOthersAre) {
    StartSimulator({"--adapter", "10.231.0.60,00:00:00:00:00:60", "--adapter",
                    "10.231.0.61,00:00:00:00:00:61", "--silent", "00:00:00:00:00:60"});
    Discover();
    ASSERT_EQ(g_records.size(), 1u);
    EXPECT_EQ(Text(&AdapterRecord::GetMacText, g_records[0]), "00:00:00:00:00:61");
}

TEST_F(DiscoveryNetworkTest, LateAnswersWithinTheExchangeCount) {
    StartSimulator({"--adapter", "10.231.0.70,00:00:00:00:00:70", "--delay-ms", "1200"});
    double seconds = Discover();
    ASSERT_EQ(g_records.size(), 1u);
    EXPECT_EQ(Text(&AdapterRecord::GetIpText, g_records[0]), "10.231.0.70");
    EXPECT_LT(seconds, 3.5);
}

TEST_F(DiscoveryNetworkTest, NoAdapterEndsAfterAboutTwoSeconds) {
    StartSimulator({});  // listens, answers nothing
    double seconds = Discover();
    EXPECT_TRUE(g_records.empty());
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 3.5);
    EXPECT_EQ(CountLogLines("recv from"), 1) << "the request did not reach the port";
}

TEST_F(DiscoveryNetworkTest, TwoHundredAdaptersAllArrive) {
    StartSimulator({"--generate", "200"});
    Discover();
    std::set<std::string> macs;
    for (const AdapterRecord& r : g_records)
        macs.insert(Text(&AdapterRecord::GetMacText, r));
    EXPECT_EQ(g_records.size(), 200u);
    EXPECT_EQ(macs.size(), 200u);
    EXPECT_EQ(macs.count("02:7e:a0:00:00:c8"), 1u);
}

// Two workstation addresses in one subnet (a laptop's wired and wireless
// cards on one lab network): one socket carries the request, so the segment
// hears it once and each adapter answers once.
TEST_F(DiscoveryNetworkTest, TwoAddressesOnOneSubnetCarryOneRequest) {
    StartBesideSecondAddress({"--adapter", "10.231.0.20,00:1a:2b:00:00:20"});
    Discover();
    EXPECT_EQ(g_pBroadcastChannel->GetFurtherCardCount(), 0);
    EXPECT_EQ(g_records.size(), 1u);
    EXPECT_EQ(CountLogLines("recv from"), 1) << m_sim.ReadLog();
}

// A workstation with an office card (the host name's address) and an
// instrument card: each card's broadcast reaches only its own segment, so
// both must carry the request. The instrument card appears while the program
// runs and goes again, as a plugged-in adapter would.
TEST_F(DiscoveryNetworkTest, EveryCardIsUsedFromTheNextDiscoveryAndEachAdapterListedOnce) {
    StartSimulator({"--adapter", "10.231.0.20,00:1a:2b:00:00:20", "--adapter",
                    "10.231.0.21,00:1a:2b:00:00:21"});
    CAdapterTable table;
    ASSERT_NE(g_pBroadcastChannel, nullptr);
    EXPECT_EQ(g_pBroadcastChannel->GetFurtherCardCount(), 0);
    table.Refresh();
    EXPECT_EQ(table.GetCount(), 2);

    StartOnSecondSegment({"--adapter", "10.232.0.30,00:1a:2b:00:00:30,10.232.0.1", "--adapter",
                          "10.232.0.31,00:1a:2b:00:00:31"});
    table.Refresh();
    ASSERT_EQ(g_pBroadcastChannel->GetFurtherCardCount(), 1);
    EXPECT_EQ(Bytes(&g_pBroadcastChannel->GetFurtherCard(0).address, 4),
              (std::vector<BYTE>{10, 232, 0, 1}));
    std::multiset<std::string> listed;
    for (int i = 0; i < table.GetCount(); ++i)
        listed.insert(Text(&AdapterRecord::GetIpText, *table.GetAt(i)));
    EXPECT_EQ(listed, (std::multiset<std::string>{"10.231.0.20", "10.231.0.21", "10.232.0.30",
                                                  "10.232.0.31"}));

    // The instrument segment heard the one request, from the instrument card.
    const std::string log = m_secondSegment.ReadLog();
    size_t requests = 0;
    for (size_t at = log.find(" recv from "); at != std::string::npos;
         at = log.find(" recv from ", at + 1))
        ++requests;
    EXPECT_EQ(requests, 1u) << log;
    EXPECT_NE(log.find("recv from 10.232.0.1:"), std::string::npos) << log;

    // Once the card is gone its socket is closed.
    m_secondSegment.Stop();
    table.Refresh();
    EXPECT_EQ(g_pBroadcastChannel->GetFurtherCardCount(), 0);
    EXPECT_EQ(table.GetCount(), 4);
}

}  // namespace
