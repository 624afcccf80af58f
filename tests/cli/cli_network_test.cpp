// pellvane-cli list and set-ip against the adapter simulator, in the private
// test network: the program as a script runs it, judged by its exit code,
// its two streams and what reached the simulator.
#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"
#include "tests/support/simulator_test.h"

namespace {

using Row = std::array<std::string, 4>;  // ip, mac, status, controller

const std::vector<Row> kAdapters = {
    {"10.231.0.20", "00:1a:2b:3c:4d:5e", "Ready", ""},
    {"10.231.0.21", "00:1a:2b:3c:4d:5f", "Controlled by 10.231.0.77", "10.231.0.77"},
};

// The request that gives 00:1a:2b:3c:4d:5e (reply bytes a1 a2 after its MAC)
// the address 10.231.0.120, as the simulator logs it.
const char kChangeRequest[] =
    " len 28: 50 52 55 58 20 49 46 43 4f 4e 46 49 47 00 00 00 "
    "0a e7 00 78 00 1a 2b 3c 4d 5e a1 a2\n";

std::vector<Row> ParseJson(const std::string& text) {
    std::vector<Row> rows;
    for (const auto& adapter : nlohmann::json::parse(text)) {
        EXPECT_EQ(adapter.size(), 4u) << adapter;
        rows.push_back(
            {adapter.at("ip"), adapter.at("mac"), adapter.at("status"), adapter.at("controller")});
    }
    return rows;
}

std::vector<Row> ParseCsv(const std::string& text) {
    std::vector<Row> rows;
    std::istringstream lines(text);
    std::string line;
    bool header = true;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << "not a CRLF line: " << line;
        line.pop_back();
        if (header) {
            EXPECT_EQ(line, "ip,mac,status,controller");
            header = false;
            continue;
        }
        Row row;
        std::istringstream fields(line);
        for (std::string& field : row)
            std::getline(fields, field, ',');
        rows.push_back(row);
    }
    return rows;
}

// Cells cut at the header's column starts, so the columns must line up.
std::vector<Row> ParseTable(const std::string& text) {
    std::vector<Row> rows;
    std::istringstream lines(text);
    std::string header, rule, line;
    std::getline(lines, header);
    std::getline(lines, rule);
    const std::array<size_t, 5> starts = {0, header.find("MAC Address"), header.find("Status"),
                                          header.find("Controller"), std::string::npos};
    EXPECT_EQ(header.substr(0, 10), "IP Address");
    while (std::getline(lines, line)) {
        Row row;
        for (size_t c = 0; c < row.size(); ++c) {
            std::string cell =
                starts[c] < line.size() ? line.substr(starts[c], starts[c + 1] - starts[c]) : "";
            cell.erase(cell.find_last_not_of(' ') + 1);
            row[c] = cell;
        }
        rows.push_back(row);
    }
    return rows;
}

class CliNetworkTest : public SimulatorTest {
protected:
    void StartAdapters(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"--adapter",
                                         "10.231.0.20,00:1a:2b:3c:4d:5e,0,a1a2a3a4b1b2b3b4b5b6b7b8",
                                         "--adapter", "10.231.0.21,00:1a:2b:3c:4d:5f,10.231.0.77"};
        args.insert(args.end(), extra.begin(), extra.end());
        StartSimulator(args);
    }
};

TEST_F(CliNetworkTest, ListPrintsTheAdaptersInEachFormat) {
    StartAdapters();
    const struct {
        const char* format;
        std::vector<Row> (*parse)(const std::string&);
    } cases[] = {{"json", ParseJson}, {"csv", ParseCsv}, {"table", ParseTable}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        CliRun run = RunCli({"list", "--seconds", "1", "--format", c.format});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(c.parse(run.out), kAdapters) << run.out;
    }
}

TEST_F(CliNetworkTest, ListWithoutAnswersFailsWithNothingOnStandardOutput) {
    CliRun run = RunCli({"list", "--seconds", "1"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "pellvane-cli: no adapter answered within 1 second\n");
}

#ifndef _WIN32
// A network namespace of its own, without any card up: the host name still
// resolves from the hosts file, but nothing can be reached.
TEST_F(CliNetworkTest, NoCardUpIsNoUsableNetwork) {
    for (const char* command : {"list", "set-ip"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args = {command};
        if (std::string(command) == "set-ip")
            args.insert(args.end(), {"00:1a:2b:3c:4d:5e", "10.231.0.120"});
        CliRun run = RunCliThrough({"unshare", "-n"}, args);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("pellvane-cli: no usable network"), std::string::npos) << run.err;
    }
}
#endif

TEST_F(CliNetworkTest, SetIpOutcomes) {
    const struct {
        const char* name;
        std::vector<std::string> simulator;  // extra options
        std::string mac;
        std::string address;
        int exitCode;
        std::string out;
        std::string errPart;
        bool requestSent;
    } cases[] = {
        {"confirmed, MAC in capitals with dashes",
         {},
         "00-1A-2B-3C-4D-5E",
         "10.231.0.120",
         0,
         "IP address of 00:1a:2b:3c:4d:5e changed from 10.231.0.20 to 10.231.0.120. "
         "Power Off/On the Tessik/ADC.\n",
         "",
         true},
        {"unconfirmed",
         {"--ignore-change"},
         "00:1a:2b:3c:4d:5e",
         "10.231.0.120",
         3,
         "",
         "did not confirm the change to 10.231.0.120",
         true},
        {"wrong answer",
         {"--wrong-answer"},
         "00:1a:2b:3c:4d:5e",
         "10.231.0.120",
         3,
         "",
         "Failed to change by the new IP Address !",
         true},
        {"unknown MAC",
         {},
         "00:1a:2b:3c:4d:60",
         "10.231.0.120",
         3,
         "",
         "no adapter with MAC 00:1a:2b:3c:4d:60 answered within 1 second",
         false},
        {"same suffix, other maker",
         {},
         "02:1a:2b:3c:4d:5e",
         "10.231.0.120",
         3,
         "",
         "no adapter with MAC",
         false},
        {"empty address",
         {},
         "00:1a:2b:3c:4d:5e",
         "",
         1,
         "",
         "Please specify the new IP address !",
         false},
        {"loopback",
         {},
         "00:1a:2b:3c:4d:5e",
         "127.0.0.1",
         1,
         "",
         "not an address an adapter",
         false},
        {"multicast",
         {},
         "00:1a:2b:3c:4d:5e",
         "224.0.0.1",
         1,
         "",
         "not an address an adapter",
         false},
        {"broadcast",
         {},
         "00:1a:2b:3c:4d:5e",
         "255.255.255.255",
         1,
         "",
         "not an address an adapter",
         false},
        {"unresolvable",
         {},
         "00:1a:2b:3c:4d:5e",
         "no-such-adapter.invalid",
         1,
         "",
         "neither an IPv4 address nor a known host name",
         false},
        {"not a MAC", {}, "00:1a:2b:3c:4d", "10.231.0.120", 1, "", "is not a MAC address", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartAdapters(c.simulator);
        CliRun run = RunCli({"set-ip", c.mac, c.address, "--seconds", "1"});
        m_sim.Stop();
        const std::string log = m_sim.ReadLog();
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.out, c.out);
        if (c.errPart.empty())
            EXPECT_EQ(run.err, "");
        else
            EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
        if (c.requestSent)
            EXPECT_NE(log.find(kChangeRequest), std::string::npos) << log;
        else
            EXPECT_EQ(log.find(" len 28: "), std::string::npos) << log;
    }
}

}  // namespace
