// pellvane-cli list and set-ip against the adapter simulator in the private
// test network, judged as a script would judge them: exit code, the two
// streams, and what reached the simulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"
#include "tests/support/record_folder.h"
#include "tests/support/process_text.h"
#include "tests/support/simulator_test.h"

#ifdef _WIN32
#include "tests/hardening/planted_folder.h"
#endif

namespace {

// The request that gives 00:1a:2b:3c:4d:5e (reply bytes a1 a2 after its MAC)
// the address 10.231.0.120, as the simulator logs it.
const char kChangeRequest[] =
    " len 28: 50 52 55 58 20 49 46 43 4f 4e 46 49 47 00 00 00 "
    "0a e7 00 78 00 1a 2b 3c 4d 5e a1 a2\n";

// `list` of the adapters StartAdapters plays, in the table format; the third
// is still on a factory address, outside the workstation's 10.231.0.1/24.
const char kListTable[] =
    "IP Address    MAC Address        Status                     Controller   Findings\n"
    "------------  -----------------  -------------------------  -----------  "
    "----------------------------------------------------------\n"
    "10.231.0.20   00:1a:2b:3c:4d:5e  Ready\n"
    "10.231.0.21   00:1a:2b:3c:4d:5f  Controlled by 10.231.0.77  10.231.0.77\n"
    "192.168.0.10  00:1a:2b:3c:4d:61  Ready                                   "
    "not reachable from this workstation: outside 10.231.0.0/24\n";

// `doctor` with those adapters answering, up to its firewall section
// (Windows) and verdict.
const std::string kDoctorTable =
    "Card        Prefix  Bound  Answers  Reason\n"
    "----------  ------  -----  -------  ------\n"
    "10.231.0.1  24      yes    3\n"
    "\n"
    "IP Address    MAC Address        Findings\n"
    "------------  -----------------  "
    "----------------------------------------------------------\n"
    "192.168.0.10  00:1a:2b:3c:4d:61  not reachable from this workstation: outside 10.231.0.0/24\n";

class CliNetworkTest : public SimulatorTest {
protected:
    void StartAdapters(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {
            "--adapter", "10.231.0.20,00:1a:2b:3c:4d:5e,0,a1a2a3a4b1b2b3b4b5b6b7b8",
            "--adapter", "10.231.0.21,00:1a:2b:3c:4d:5f,10.231.0.77",
            "--adapter", "192.168.0.10,00:1a:2b:3c:4d:61"};
        args.insert(args.end(), extra.begin(), extra.end());
        StartSimulator(args);
    }

    TemporaryRecordFolder m_records;
};

TEST_F(CliNetworkTest, ListPrintsTheAdaptersInEachFormat) {
    StartAdapters();
    CliRun json = RunCli({"list", "--seconds", "1", "--format", "json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::parse(R"([
        {"ip": "10.231.0.20", "mac": "00:1a:2b:3c:4d:5e", "status": "Ready", "controller": "",
         "via": "10.231.0.1", "reachable": true, "findings": []},
        {"ip": "10.231.0.21", "mac": "00:1a:2b:3c:4d:5f",
         "status": "Controlled by 10.231.0.77", "controller": "10.231.0.77",
         "via": "10.231.0.1", "reachable": true, "findings": []},
        {"ip": "192.168.0.10", "mac": "00:1a:2b:3c:4d:61", "status": "Ready", "controller": "",
         "via": "10.231.0.1", "reachable": false,
         "findings": ["not reachable from this workstation: outside 10.231.0.0/24"]}])"));

    const struct {
        const char* format;
        const char* out;
    } texts[] = {
        {"csv",
         "ip,mac,status,controller,findings\r\n10.231.0.20,00:1a:2b:3c:4d:5e,Ready,,\r\n"
         "10.231.0.21,00:1a:2b:3c:4d:5f,Controlled by 10.231.0.77,10.231.0.77,\r\n"
         "192.168.0.10,00:1a:2b:3c:4d:61,Ready,,"
         "not reachable from this workstation: outside 10.231.0.0/24\r\n"},
        {"table", kListTable},
    };
    for (const auto& t : texts) {
        CliRun run = RunCli({"list", "--seconds", "1", "--format", t.format});
        EXPECT_EQ(run.exitCode, 0) << t.format << ": " << run.err;
        EXPECT_EQ(run.out, t.out) << t.format;
        EXPECT_EQ(run.err, "") << t.format;
    }
}

#ifdef _WIN32
// Run from a downloads folder that also holds a planted IPHLPAPI.DLL, which
// Wine is told to prefer: the program takes the system's library, never the
// planted one, and lists the adapters as from its own folder.
TEST_F(CliNetworkTest, ListBesideAPlantedLibraryNeverLoadsIt) {
    StartAdapters();
    PlantedFolder downloads(CliProgramPath());
    ASSERT_TRUE(downloads.IsReady()) << downloads.GetLastError();
    ASSERT_TRUE(downloads.StandInIsPreferred()) << "the stand-in would not be loaded anyway";
    CliRun run = RunCliAt(downloads.ProgramPath(), {"list", "--seconds", "1"});
    EXPECT_EQ(downloads.LoadedBy(), "") << "the planted library was loaded";
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, kListTable);
}
#endif

TEST_F(CliNetworkTest, FailuresPrintNothingOnStandardOutput) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> launcher;
        int exitCode;
        const char* err;
    };
    std::vector<Case> cases = {
        {"nobody answers",
         {"list", "--seconds", "1"},
         {},
         3,
         "pellvane-cli: no adapter answered within 1 second\n"},
    };
#ifndef _WIN32
    // A namespace without any card up: the host name still resolves from
    // the hosts file, but nothing can be reached.
    for (auto args : {std::vector<std::string>{"list"},
                      std::vector<std::string>{"set-ip", "00:1a:2b:3c:4d:5e", "10.231.0.120"}})
        cases.push_back({"no card up",
                         args,
                         {"unshare", "-n"},
                         2,
                         "pellvane-cli: no usable network: no network card is up with an IPv4 "
                         "address, or none could be opened for broadcasts\n"});
    // No registry here: the settings commands say so instead of failing as unknown words.
    cases.push_back({"settings without a registry",
                     {"assign", "1", "10.231.0.20"},
                     {},
                     1,
                     "pellvane-cli: assign: the HPLC system settings are kept in the Windows "
                     "registry; use pellvane-cli.exe on the workstation\n"});
#endif
    for (const Case& c : cases) {
        CliRun run = RunCli(c.args, c.launcher);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
    }
}

// doctor prints its report whatever the verdict; the exit status carries it.
TEST_F(CliNetworkTest, DoctorReportsTheCardsTheAnswersAndAVerdict) {
    const char* kCard = R"({"address": "10.231.0.1", "prefixLength": 24, "bound": true,
                            "reason": "", "answers": )";
    struct Case {
        const char* name;
        int segment;  // the adapters' lab segment, 0 for none; -1: no card up either
        int exitCode;
        std::string report;  // without "verdict"; no "cards" when they are not checked
        std::string verdict;
    };
    std::vector<Case> cases = {
        {"adapters answer", 1, 0,
         std::string(R"({"cards": [)") + kCard + R"(3}], "adapters": 3, "findings": 1})",
         "3 adapters answered, 1 with a problem."},
        {"through the second card", 2, 0,
         std::string(R"({"cards": [)") + kCard + R"(0}, {"address": "10.232.0.1",
            "prefixLength": 24, "bound": true, "reason": "", "answers": 1}],
            "adapters": 1, "findings": 0})",
         "1 adapter answered."},
        {"nobody answers", 0, 3,
         std::string(R"({"cards": [)") + kCard + R"(0}], "adapters": 0, "findings": 0})",
         "No adapter answered through 10.231.0.1/24. Check that the instruments are switched on "
         "and cabled to that card's segment, and that no firewall on this workstation drops "
         "their answers."},
    };
#ifndef _WIN32
    cases.push_back({"no card up", -1, 2, R"({"adapters": 0, "findings": 0})",
                     "No network card with an IPv4 address can be used: Pellvane cannot search. "
                     "Cause: no network card is up with an IPv4 address."});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.segment == 1)
            StartAdapters();
        if (c.segment == 2)
            StartOnSecondSegment({"--adapter", "10.232.0.30,00:1a:2b:3c:4d:70"});
        std::vector<std::string> launcher;
        if (c.segment < 0)
            launcher = {"unshare", "-n"};
        CliRun table = RunCli({"doctor", "--seconds", "1"}, launcher);
        CliRun json = RunCli({"doctor", "--seconds", "1", "--format", "json"}, launcher);
        m_sim.Stop();
        m_secondSegment.Stop();
        EXPECT_EQ(table.exitCode, c.exitCode) << table.err;
        EXPECT_EQ(json.exitCode, c.exitCode) << json.err;
        EXPECT_EQ(table.err, "");
        EXPECT_TRUE(table.out.ends_with("\n" + c.verdict + "\n")) << table.out;
        nlohmann::json report = nlohmann::json::parse(json.out, nullptr, false);
        nlohmann::json expected = nlohmann::json::parse(c.report);
        ASSERT_TRUE(report.is_object()) << json.out;
        const nlohmann::json firewall = report["firewall"];
        report.erase("firewall");
#ifdef _WIN32
        // Wine's firewall says nothing: doctor shows that and blames nothing on it.
        if (c.segment == 1) {
            EXPECT_TRUE(table.out.starts_with(kDoctorTable + "\nFirewall rule  ")) << table.out;
        }
        EXPECT_TRUE(
            table.out.ends_with("\nPublic   cannot tell  cannot tell  cannot tell        "
                                "      cannot tell\n\n" +
                                c.verdict + "\n"))
            << table.out;
        ASSERT_TRUE(firewall.is_object()) << json.out;
        ASSERT_EQ(firewall["rules"].size(), 2u);
        for (const nlohmann::json& rule : firewall["rules"])
            EXPECT_TRUE(rule["found"].is_null()) << rule;
        ASSERT_EQ(firewall["profiles"].size(), 3u);
        for (const nlohmann::json& profile : firewall["profiles"])
            EXPECT_TRUE(profile["firewallOn"].is_null()) << profile;
#else
        if (c.segment == 1) {
            EXPECT_EQ(table.out, kDoctorTable + "\n" + c.verdict + "\n");
        }
        EXPECT_TRUE(firewall.is_null()) << json.out;
#endif
        if (!expected.contains("cards"))
            report.erase("cards");
        expected["verdict"] = c.verdict;
        EXPECT_EQ(report, expected);
    }
}

#ifndef _WIN32
// history needs no network: the record file is found through $ProgramData,
// which `env` sets for the program alone.
TEST(CliHistoryTest, PrintsTheRecordInEachFormatAndToleratesNoFile) {
    namespace fs = std::filesystem;
    const fs::path root =
        fs::temp_directory_path() / ("pv-history-" + std::to_string(CurrentProcessId()));
    const std::string kAssign =
        R"({"time":"2026-12-09T14:02:11.123Z","user":"LAB\\anna","workstation":"HPLC-07",)"
        R"("program":"Pellvane","version":"2.1.0","action":"assign","system":1,"oldType":"NONE",)"
        R"("oldHost":"","newType":"TessikBox","newHost":"10.231.0.40","driverFile":""})";
    const std::string kAddress =
        R"({"time":"2026-12-10T08:00:00.000Z","user":"LAB\\ben","workstation":"HPLC-07",)"
        R"("program":"pellvane-cli","version":"2.1.0","action":"change-address",)"
        R"("mac":"00:1a:2b:3c:4d:5e","oldAddress":"10.231.0.30","newAddress":"10.231.0.40",)"
        R"("via":"10.231.0.1","outcome":"confirmed","forced":false,"findings":[],"reason":"rack"})";
    fs::create_directories(root / "kept" / "Pellvane");
    std::ofstream(root / "kept" / "Pellvane" / "changes.jsonl", std::ios::binary)
        << kAssign << "\n"
        << kAddress << "\n"
        << R"({"time":"2026-12-11T0)";
    fs::create_directories(root / "folder" / "Pellvane" / "changes.jsonl");
    const std::string kUnparsable =
        R"({"unparsable":true,"line":3,"text":"{\"time\":\"2026-12-11T0"})";

    const struct {
        const char* folder;  // under root, as $ProgramData
        std::vector<std::string> args;
        int exitCode;
        std::string out, err;
    } cases[] = {
        {"kept",
         {"history"},
         0,
         "Time                      User      Workstation  Program             Change" +
             std::string(64, ' ') + "  Reason\n" +
             "------------------------  --------  -----------  ------------------  " +
             std::string(70, '-') + "  ------\n" +
             "2026-12-09T14:02:11.123Z  LAB\\anna  HPLC-07      Pellvane 2.1.0      system 1: NONE "
             "\"\" -> TessikBox 10.231.0.40\n"
             "2026-12-10T08:00:00.000Z  LAB\\ben   HPLC-07      pellvane-cli 2.1.0  "
             "00:1a:2b:3c:4d:5e "
             "10.231.0.30 -> 10.231.0.40 via 10.231.0.1, confirmed  rack\n"
             "                                                                     unparsable line "
             "3: "
             "{\"time\":\"2026-12-11T0\n",
         ""},
        {"kept",
         {"history", "--format", "json", "--mac", "00-1A-2B-3C-4D-5E"},
         0,
         "[\n" + kAddress + ",\n" + kUnparsable + "\n]\n",
         ""},
        {"kept",
         {"history", "--format", "csv", "--system", "1", "--since", "2026-12-09"},
         0,
         "time,user,workstation,program,version,action,change,reason\r\n"
         "2026-12-09T14:02:11.123Z,LAB\\anna,HPLC-07,Pellvane,2.1.0,assign,"
         "\"system 1: NONE \"\"\"\" -> TessikBox 10.231.0.40\",\r\n"
         ",,,,,,\"unparsable line 3: {\"\"time\"\":\"\"2026-12-11T0\",\r\n",
         ""},
        {"kept",
         {"history", "--since", "yesterday"},
         1,
         "",
         "--since: \"yesterday\" is neither a date like 2026-12-09 nor a time like "
         "2026-12-09T14:02:11.123Z (UTC)\nRun with --help for more information.\n"},
        {"none",
         {"history"},
         0,
         "",
         "pellvane-cli: no changes are on record: " +
             (root / "none/Pellvane/changes.jsonl").string() + " does not exist\n"},
        {"none", {"history", "--format", "json"}, 0, "[]\n", ""},
        {"folder",
         {"history", "--format", "json"},
         6,
         "",
         "pellvane-cli: the record of changes " +
             (root / "folder/Pellvane/changes.jsonl").string() +
             " could not be read: Is a directory\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " " + c.args.back());
        CliRun run = RunCli(c.args, {"env", "ProgramData=" + (root / c.folder).string()});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
    fs::remove_all(root);
}
#endif

TEST_F(CliNetworkTest, SetIpOutcomes) {
    const char* kFormNotice =
        "pellvane-cli: Please enter the new IP address as four numbers from 0 to 255 separated by "
        "dots, without leading zeros (for example 10.231.0.33).\n";
    const struct {
        const char* name;
        const char* simulator;  // an extra option, or ""
        const char* mac;
        const char* address;
        int exitCode;
        const char* out;
        const char* errPart;
        const char* request;  // what reached the simulator, or null for nothing
        bool force = false;
        // The record's new address, outcome, forced and findings, as stored;
        // null when nothing may be recorded.
        const char* record = nullptr;
        std::vector<std::string> extra = {};  // more arguments
        bool recordUnusable = false;          // the record's folder cannot be made
        // (Native only) the program is started by this, for a disk that is full.
        std::vector<std::string> launcher = {};
    } cases[] = {
        {"host name: checked as the address it resolved to, the workstation's own", "",
         "00:1a:2b:3c:4d:5e", "pellvane-ws", 1, "",
         "pellvane-cli: 10.231.0.1 would give adapter 00:1a:2b:3c:4d:5e a problem: same address "
         "as this workstation; nothing was sent (--force changes it anyway)\n",
         nullptr},
        {"another adapter's address", "", "00:1a:2b:3c:4d:5e", "10.231.0.21", 1, "",
         "a problem: same address as 00:1a:2b:3c:4d:5f; nothing was sent", nullptr},
        {"outside the card's subnet", "", "00:1a:2b:3c:4d:5e", "192.168.0.30", 1, "",
         "a problem: not reachable from this workstation: outside 10.231.0.0/24; nothing", nullptr},
        {"the subnet's broadcast address", "", "00:1a:2b:3c:4d:5e", "10.231.0.255", 1, "",
         "a problem: the broadcast address of 10.231.0.0/24; nothing was sent", nullptr},
        {"outside the card's subnet, forced",
         "",
         "00:1a:2b:3c:4d:5e",
         "192.168.0.30",
         0,
         "IP address of 00:1a:2b:3c:4d:5e changed from 10.231.0.20 to 192.168.0.30. "
         "Power Off/On the Tessik/ADC.\n",
         "",
         " len 28: 50 52 55 58 20 49 46 43 4f 4e 46 49 47 00 00 00 "
         "c0 a8 00 1e 00 1a 2b 3c 4d 5e a1 a2\n",
         true,
         R"({"newAddress":"192.168.0.30","via":"10.231.0.1","outcome":"confirmed","forced":true,)"
         R"("findings":["not reachable from this workstation: outside 10.231.0.0/24"],)"
         R"("reason":"moved to the lab network"})",
         {"--reason", "moved to the lab network"}},
        {"confirmed, MAC in capitals with dashes", "", "00-1A-2B-3C-4D-5E", "10.231.0.120", 0,
         "IP address of 00:1a:2b:3c:4d:5e changed from 10.231.0.20 to 10.231.0.120. "
         "Power Off/On the Tessik/ADC.\n",
         "", kChangeRequest, false,
         R"({"newAddress":"10.231.0.120","via":"10.231.0.1","outcome":"confirmed","forced":false,)"
         R"("findings":[]})"},
        {"not confirmed", "--ignore-change", "00:1a:2b:3c:4d:5e", "10.231.0.120", 3, "",
         "did not confirm the change to 10.231.0.120", kChangeRequest, false,
         R"({"newAddress":"10.231.0.120","via":"10.231.0.1","outcome":"not confirmed",)"
         R"("forced":false,"findings":[]})"},
        {"no record can be kept",
         "",
         "00:1a:2b:3c:4d:5e",
         "10.231.0.120",
         6,
         "",
         "pellvane-cli: nothing was sent: the change cannot be recorded in ",
         nullptr,
         false,
         nullptr,
         {},
         true},
        {"unknown MAC", "", "00:1a:2b:3c:4d:60", "10.231.0.120", 3, "",
         "no adapter with MAC 00:1a:2b:3c:4d:60 answered within 1 second", nullptr},
        {"same suffix, other maker", "", "02:1a:2b:3c:4d:5e", "10.231.0.120", 3, "",
         "no adapter with MAC 02:1a:2b:3c:4d:5e", nullptr},
        {"empty address", "", "00:1a:2b:3c:4d:5e", "", 1, "", "Please specify the new IP address !",
         nullptr},
        {"multicast", "", "00:1a:2b:3c:4d:5e", "224.0.0.1", 1, "", "not an address an adapter",
         nullptr},
        {"unresolvable", "", "00:1a:2b:3c:4d:5e", "no-such-adapter.invalid", 1, "",
         "neither an IPv4 address nor a known host name", nullptr},
        {"zero-padded", "", "00:1a:2b:3c:4d:5e", "10.231.0.0120", 1, "", kFormNotice, nullptr},
        {"short form", "", "00:1a:2b:3c:4d:5e", "10.120", 1, "", kFormNotice, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
#ifdef _WIN32
        if (!c.launcher.empty())
            continue;
#endif
        StartAdapters(*c.simulator ? std::vector<std::string>{c.simulator}
                                   : std::vector<std::string>{});
        std::vector<std::string> args = {"set-ip", c.mac, c.address, "--seconds", "1"};
        if (c.force)
            args.push_back("--force");
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const size_t recordsBefore = m_records.Records().size();
        const std::string root = m_records.Root();
        if (c.recordUnusable)  // a parent folder that does not exist
            m_records.PointAt(root + (root.find('\\') == std::string::npos ? "/none" : "\\none"));
        CliRun run = RunCli(args, c.launcher);
        m_records.PointAt(root);
        m_sim.Stop();
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
        EXPECT_EQ(run.err.empty(), !*c.errPart) << run.err;
        const std::string log = m_sim.ReadLog();
        if (c.request)
            EXPECT_NE(log.find(c.request), std::string::npos) << log;
        else
            EXPECT_EQ(log.find(" len 28: "), std::string::npos) << log;
        const std::vector<nlohmann::json> records = m_records.Records();
        ASSERT_EQ(records.size(), recordsBefore + (c.record ? 1 : 0));
        if (!c.record)
            continue;
        nlohmann::json expected = nlohmann::json::parse(c.record);
        expected["action"] = "change-address";
        expected["program"] = "pellvane-cli";
        expected["mac"] = "00:1a:2b:3c:4d:5e";
        expected["oldAddress"] = "10.231.0.20";
        nlohmann::json got = records.back();
        for (const char* origin : {"time", "user", "workstation", "version"}) {
            EXPECT_TRUE(got[origin].is_string() && !got[origin].get<std::string>().empty())
                << origin;
            got.erase(origin);
        }
        EXPECT_EQ(got, expected);
    }
}

}  // namespace
