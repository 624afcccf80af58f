// Repeated discoveries against the adapter simulator over real UDP, inside the
// private test network, merged by the adapter table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/adapter_table.h"
#include "net/broadcast_channel.h"
#include "tests/support/simulator_test.h"
#include "tests/support/network_env.h"
#include "tests/support/sim_process.h"

namespace {

// Each element as the window would show it: "IP MAC status".
std::vector<std::string> Rows(const CAdapterTable& table) {
    std::vector<std::string> rows;
    for (int i = 0; i < table.GetCount(); ++i) {
        const AdapterRecord* record = table.GetAt(i);
        if (!record) {
            rows.push_back("(none)");
            continue;
        }
        CString ip, mac, status;
        record->GetIpText(ip);
        record->GetMacText(mac);
        record->GetStatusText(status);
        rows.push_back(std::string(ip.GetString()) + " " + mac.GetString() + " " +
                       status.GetString());
    }
    return rows;
}

class AdapterTableNetworkTest : public SimulatorTest {
protected:
    // The adapters on the segment change between discoveries: the simulator
    // is started afresh with the new set.
    void StartAdapters(const std::vector<std::string>& args) { StartSimulator(args); }
};

TEST_F(AdapterTableNetworkTest, RepeatedRefreshesMergeByAdapterInOrderOfFirstDiscovery) {
    CAdapterTable table;
    ASSERT_NE(g_pBroadcastChannel, nullptr);
    ASSERT_NE(g_pBroadcastChannel->socket, kInvalidSocket) << "channel has no socket";

    StartAdapters({"--adapter", "10.231.0.20,00:1a:2b:00:00:01",  //
                   "--adapter", "10.231.0.21,00:1a:2b:00:00:02"});
    EXPECT_EQ(table.Refresh(), 0);
    EXPECT_EQ(Rows(table), (std::vector<std::string>{"10.231.0.20 00:1a:2b:00:00:01 Ready",
                                                     "10.231.0.21 00:1a:2b:00:00:02 Ready"}));
    const AdapterRecord* second = table.GetAt(1);

    // Next time a new adapter answers first, the second one answers with a new
    // address and a controller, and the first one is silent.
    m_sim.Stop();
    StartAdapters({"--adapter", "10.231.0.22,00:1a:2b:00:00:03",  //
                   "--adapter", "10.231.0.31,00:1a:2b:00:00:02,10.231.0.1", "--adapter",
                   "10.231.0.20,00:1a:2b:00:00:01",  //
                   "--silent", "00:1a:2b:00:00:01"});
    EXPECT_EQ(table.Refresh(), 0);
    EXPECT_EQ(Rows(table),
              (std::vector<std::string>{"10.231.0.20 00:1a:2b:00:00:01 Ready",
                                        "10.231.0.31 00:1a:2b:00:00:02 Controlled by 10.231.0.1",
                                        "10.231.0.22 00:1a:2b:00:00:03 Ready"}));
    EXPECT_EQ(table.GetAt(1), second) << "the changed adapter was not overwritten in place";

    // An adapter whose MAC differs from the first one's only in the maker
    // octets is taken for it, and its answer replaces the first one's.
    m_sim.Stop();
    StartAdapters({"--adapter", "10.231.0.40,02:99:99:00:00:01"});
    EXPECT_EQ(table.Refresh(), 0);
    EXPECT_EQ(Rows(table),
              (std::vector<std::string>{"10.231.0.40 02:99:99:00:00:01 Ready",
                                        "10.231.0.31 00:1a:2b:00:00:02 Controlled by 10.231.0.1",
                                        "10.231.0.22 00:1a:2b:00:00:03 Ready"}));
    EXPECT_EQ(table.GetAt(table.GetCount()), nullptr);
}

TEST_F(AdapterTableNetworkTest, TwoAnswersFromOneAdapterInOneRefreshLeaveOneElement) {
    CAdapterTable table;
    StartAdapters({"--adapter", "10.231.0.50,00:00:00:00:00:50", "--duplicate"});
    EXPECT_EQ(table.Refresh(), 0);
    EXPECT_EQ(Rows(table), std::vector<std::string>{"10.231.0.50 00:00:00:00:00:50 Ready"});
}

}  // namespace
