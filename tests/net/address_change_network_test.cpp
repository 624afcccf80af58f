// The address change against the adapter simulator over real UDP, inside the
// private test network: the adapter is found by a discovery, as in the
// program, and a later discovery shows whether it took the new address.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "net/adapter_table.h"
#include "net/broadcast_channel.h"
#include "tests/support/simulator_test.h"
#include "tests/support/network_env.h"
#include "tests/support/sim_process.h"

namespace {

std::string IpOf(const AdapterRecord* record) {
    CString text;
    if (record)
        record->GetIpText(text);
    return text.GetString();
}

class AddressChangeNetworkTest : public SimulatorTest {
protected:
    // The simulator with one adapter at 10.231.0.20 whose two bytes after the
    // MAC are a1 a2, plus `extra` options; the first discovery finds it.
    void StartAndDiscover(CAdapterTable& table, const std::vector<std::string>& extra) {
        ASSERT_NE(g_pBroadcastChannel, nullptr);
        ASSERT_NE(g_pBroadcastChannel->socket, kInvalidSocket) << "channel has no socket";
        std::vector<std::string> args = {"--adapter",
                                         "10.231.0.20,00:1a:2b:3c:4d:5e,0,a1a2a3a4b1b2b3b4b5b6b7b8",
                                         "--adapter", "10.231.0.21,00:1a:2b:3c:4d:5f"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(m_sim.Start(args)) << m_sim.GetLastError();
        table.Refresh();
        ASSERT_EQ(table.GetCount(), 2);
        ASSERT_EQ(IpOf(table.GetAt(0)), "10.231.0.20");
    }

    // Runs the change and returns how long it took.
    double TimedChange(AdapterRecord* record, const char* text, bool& result) {
        auto start = std::chrono::steady_clock::now();
        result = record->ChangeAddress(text);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

TEST_F(AddressChangeNetworkTest, ConfirmedChangeIsTakenByTheAdapter) {
    CAdapterTable table;
    StartAndDiscover(table, {});
    bool changed = false;
    double seconds = TimedChange(table.GetAt(0), "10.231.0.120", changed);
    EXPECT_TRUE(changed);
    EXPECT_LT(seconds, 0.9);
    EXPECT_EQ(IpOf(table.GetAt(0)), "10.231.0.120");

    // On the wire: the tag with its NUL, two zero bytes, the new address and
    // the record's eight hardware bytes.
    const std::string log = m_sim.ReadLog();
    EXPECT_NE(log.find(" len 28: 50 52 55 58 20 49 46 43 4f 4e 46 49 47 00 00 00 "
                       "0a e7 00 78 00 1a 2b 3c 4d 5e a1 a2\n"),
              std::string::npos)
        << log;

    // The adapter now answers with its new address; the other one is untouched.
    table.Refresh();
    ASSERT_EQ(table.GetCount(), 2);
    EXPECT_EQ(IpOf(table.GetAt(0)), "10.231.0.120");
    EXPECT_EQ(IpOf(table.GetAt(1)), "10.231.0.21");
}

TEST_F(AddressChangeNetworkTest, WrongAnswerFailsAndNothingChanges) {
    CAdapterTable table;
    StartAndDiscover(table, {"--wrong-answer"});
    bool changed = true;
    TimedChange(table.GetAt(0), "10.231.0.120", changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(IpOf(table.GetAt(0)), "10.231.0.20");
    EXPECT_NE(m_sim.ReadLog().find("49 46 43 4f 4e 46 49 47 3a 45 52 52"), std::string::npos)
        << "the simulator did not answer IFCONFIG:ERR\n"
        << m_sim.ReadLog();

    table.Refresh();
    EXPECT_EQ(IpOf(table.GetAt(0)), "10.231.0.20");
}

TEST_F(AddressChangeNetworkTest, IgnoredChangeFailsAfterAboutOneSecond) {
    CAdapterTable table;
    StartAndDiscover(table, {"--ignore-change"});
    const AdapterRecord before = *table.GetAt(0);
    bool changed = true;
    double seconds = TimedChange(table.GetAt(0), "10.231.0.120", changed);
    EXPECT_FALSE(changed);
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 2.0);
    EXPECT_EQ(std::memcmp(table.GetAt(0), &before, sizeof(before)), 0);

    table.Refresh();
    EXPECT_EQ(IpOf(table.GetAt(0)), "10.231.0.20");
}

TEST_F(AddressChangeNetworkTest, LateDiscoveryRepliesDoNotSpoilTheChange) {
    CAdapterTable table;
    StartAndDiscover(table, {});
    // A second discovery request whose answers are still on the socket when
    // the change starts.
    const char hello[] = "HELLO PRUX";
    ASSERT_GT(g_pBroadcastChannel->SendToBroadcast(hello, sizeof(hello)), 0);
    ASSERT_GT(g_pBroadcastChannel->WaitReadable(1), 0);

    bool changed = false;
    TimedChange(table.GetAt(1), "10.231.0.121", changed);
    EXPECT_TRUE(changed);
    table.Refresh();
    EXPECT_EQ(IpOf(table.GetAt(1)), "10.231.0.121");
}

// Two workstation addresses in one subnet: the adapter gets the command once,
// and cannot act on a second one while it applies the first.
TEST_F(AddressChangeNetworkTest, TwoAddressesOnOneSubnetSendOneChangeRequest) {
    StartBesideSecondAddress({"--adapter", "10.231.0.20,00:1a:2b:3c:4d:5e"});
    CAdapterTable table;
    table.Refresh();
    ASSERT_EQ(table.GetCount(), 1);
    bool changed = false;
    TimedChange(table.GetAt(0), "10.231.0.120", changed);
    EXPECT_TRUE(changed);
    // The simulator answers in order of arrival: once it has answered the
    // next discovery, it has logged every request sent before.
    table.Refresh();
    EXPECT_EQ(IpOf(table.GetAt(0)), "10.231.0.120");
    const std::string log = m_sim.ReadLog();
    const size_t at = log.find(" len 28: ");
    EXPECT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find(" len 28: ", at + 1), std::string::npos) << log;
}

TEST_F(AddressChangeNetworkTest, AdapterBehindTheSecondCardIsChanged) {
    StartSimulator({"--adapter", "10.231.0.20,00:1a:2b:3c:4d:5e"});
    StartOnSecondSegment({"--adapter", "10.232.0.30,00:1a:2b:3c:4d:70,0,a1a2a3a4b1b2b3b4b5b6b7b8"});
    CAdapterTable table;
    table.Refresh();
    ASSERT_EQ(table.GetCount(), 2);
    AdapterRecord* record = table.GetAt(0);
    if (IpOf(record) != "10.232.0.30")
        record = table.GetAt(1);
    ASSERT_EQ(IpOf(record), "10.232.0.30");

    bool changed = false;
    TimedChange(record, "10.232.0.130", changed);
    EXPECT_TRUE(changed);

    // One request reached the adapter, through the instrument card, byte for byte.
    const std::string log = m_secondSegment.ReadLog();
    const std::string request =
        " len 28: 50 52 55 58 20 49 46 43 4f 4e 46 49 47 00 00 00 "
        "0a e8 00 82 00 1a 2b 3c 4d 70 a1 a2\n";
    size_t at = log.find(request);
    EXPECT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find(" len 28: ", at + 1), std::string::npos) << log;

    table.Refresh();
    EXPECT_EQ(IpOf(record), "10.232.0.130");
}

}  // namespace
