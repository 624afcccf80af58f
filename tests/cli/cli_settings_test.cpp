// pellvane-cli show, assign and unassign under Wine: the settings keys
// (32-bit view) and the driver settings file byte for byte as the window's
// "Save && Exit" leaves them, system 2's rule, and show reading them back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_run.h"
#include "tests/support/event_trace.h"
#include "tests/support/process_text.h"
#include "tests/support/record_folder.h"
#include "tests/ui/stored_settings.h"

namespace {

std::string IfType(const std::string& host) {
    return host.empty() ? "NONE" : "TessikBox";
}

std::string IniText(const std::string& host1, const char* sampling1, const std::string& host2) {
    return "[SYSTEM-1]\r\nIFTYPE=" + IfType(host1) + "\r\nHOST=" + host1 +
           "\r\nSamplingInterval=" + sampling1 + "\r\n[SYSTEM-2]\r\nIFTYPE=" + IfType(host2) +
           "\r\nHOST=" + host2 + "\r\nSamplingInterval=500\r\n";
}

class CliSettingsTest : public testing::Test {
protected:
    void SetUp() override {
        m_pFolder.reset();  // its folder's name leaves win.ini with it
        stored::DeleteSystemKeys();
        m_pFolder = std::make_unique<stored::DriverFolder>();
    }
    void TearDown() override {
        m_pFolder.reset();
        stored::DeleteSystemKeys();
    }

    void ExpectSystem(int n, const std::string& host) {
        EXPECT_EQ(stored::ReadValue(n, "IFTYPE"), stored::StringBytes(IfType(host))) << n;
        EXPECT_EQ(stored::ReadValue(n, "HOST"), stored::StringBytes(host)) << n;
        EXPECT_EQ(stored::ReadValue(n, "NAME"), stored::StringBytes("Controller")) << n;
    }

    std::unique_ptr<stored::DriverFolder> m_pFolder;
    TemporaryRecordFolder m_records;
};

TEST_F(CliSettingsTest, AssignAndUnassignStoreWhatTheWindowStores) {
    const struct {
        const char* name;
        bool fresh;  // no keys and no driver file yet; else hosts as below
        std::string host1, host2;
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        const char* errPart;  // a refusal, which must leave everything as it was
        std::string after1, after2;
        std::vector<int> readOnly = {};  // system keys a standard user may only read
    } cases[] = {
        {"assign 1, fresh machine",
         true,
         "",
         "",
         {"assign", "1", "10.231.0.40"},
         0,
         "system #1 now uses the adapter at 10.231.0.40\n",
         "",
         "10.231.0.40",
         ""},
        {"unassign 1",
         false,
         "10.231.0.21",
         "",
         {"unassign", "1"},
         0,
         "system #1 now uses no adapter\n",
         "",
         "",
         ""},
        {"assign 2 in use",
         false,
         "",
         "10.231.0.22",
         {"assign", "2", "10.231.0.42"},
         0,
         "system #2 now uses the adapter at 10.231.0.42\n",
         "",
         "",
         "10.231.0.42"},
        {"unassign 2 not in use",
         false,
         "10.231.0.21",
         "",
         {"unassign", "2"},
         0,
         "system #2 now uses no adapter\n",
         "",
         "10.231.0.21",
         ""},
        {"assign 2 not in use",
         false,
         "10.231.0.21",
         "",
         {"assign", "2", "10.231.0.42"},
         1,
         "",
         "system #2 is not stored as in use",
         "10.231.0.21",
         ""},
        {"unassign 2 in use",
         false,
         "",
         "10.231.0.22",
         {"unassign", "2"},
         1,
         "",
         "system #2 is stored as in use",
         "",
         "10.231.0.22"},
        {"assign 1 empty",
         false,
         "10.231.0.21",
         "",
         {"assign", "1", ""},
         1,
         "",
         "Please specify the IP address for system #1 !",
         "10.231.0.21",
         ""},
        {"assign 1 with a line end from a CRLF file",
         false,
         "10.231.0.21",
         "",
         {"assign", "1", "10.231.0.40\r"},
         1,
         "",
         "the address holds a control character (0x0d)",
         "10.231.0.21",
         ""},
        {"assign 2 in use, both keys readable only",
         false,
         "10.231.0.21",
         "10.231.0.22",
         {"assign", "2", "10.231.0.42"},
         4,
         "",
         "pellvane-cli: The settings were not saved: saving them needs administrator "
         "rights.\n\nStart Pellvane as administrator and save again.\n",
         "10.231.0.21",
         "10.231.0.22",
         {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (!c.fresh) {
            stored::PutSystemKey(1, IfType(c.host1), c.host1);
            stored::PutSystemKey(2, IfType(c.host2), c.host2);
            m_pFolder->WriteIni(IniText(c.host1, "250", c.host2));
        }
        for (int n : c.readOnly)
            ASSERT_TRUE(stored::MakeSystemKeyReadOnly(n)) << n;
        const std::string before = stored::Snapshot(m_pFolder->IniPath());
        CliRun run = RunCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
        EXPECT_EQ(run.err.empty(), !*c.errPart) << run.err;
        if (*c.errPart) {
            EXPECT_EQ(stored::Snapshot(m_pFolder->IniPath()), before) << "a refusal wrote";
        }
        ExpectSystem(1, c.after1);
        ExpectSystem(2, c.after2);
        EXPECT_EQ(m_pFolder->IniBytes(), IniText(c.after1, c.fresh ? "500" : "250", c.after2));
        EXPECT_FALSE(stored::ExistsIn64BitView());
    }
}

TEST_F(CliSettingsTest, ChangesAreRecordedAndNeverMadeWithoutTheirRecord) {
    const std::string states = PlatformPath(PELLVANE_RECORD_STATES);
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* root;  // the shared data folder there; null: the test's own
        int exitCode;
        const char* errPart;
        const char* record;  // the assignment's values as recorded; null for no record
        const char* host1;   // system 1's host afterwards
    } cases[] = {
        {"assigned, with a reason",
         {"assign", "1", "10.231.0.40", "--reason", "column oven replaced"},
         nullptr,
         0,
         "",
         R"({"system":1,"oldType":"NONE","oldHost":"","newType":"TessikBox",)"
         R"("newHost":"10.231.0.40","reason":"column oven replaced"})",
         "10.231.0.40"},
        {"the same again changes nothing",
         {"assign", "1", "10.231.0.40"},
         nullptr,
         0,
         "",
         nullptr,
         "10.231.0.40"},
        {"the record's folder cannot be made",
         {"unassign", "1"},
         "\\none",
         6,
         "\\none\\Pellvane cannot be created: ",
         nullptr,
         "10.231.0.40"},
        {"everyone may write the record's folder",
         {"unassign", "1"},
         "\\open",
         6,
         "\\open\\Pellvane is writable by users (Everyone)",
         nullptr,
         "10.231.0.40"},
        {"the record's folder is a link",
         {"unassign", "1"},
         "\\linked",
         6,
         "\\linked\\Pellvane is a link",
         nullptr,
         "10.231.0.40"},
        {"unassigned",
         {"unassign", "1"},
         nullptr,
         0,
         "",
         R"({"system":1,"oldType":"TessikBox","oldHost":"10.231.0.40","newType":"NONE",)"
         R"("newHost":""})",
         ""},
    };
    const std::string own = m_records.Root();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string root = c.root ? states + c.root : own;
        m_records.PointAt(root);
        const size_t before = m_records.Records().size();
        CliRun run = RunCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
        if (c.exitCode == 6) {
            EXPECT_EQ(run.err.rfind("pellvane-cli: nothing was saved: the change cannot be "
                                    "recorded in " +
                                        root + "\\Pellvane\\changes.jsonl: ",
                                    0),
                      0u)
                << run.err;
        }
        ExpectSystem(1, c.host1);
        const std::vector<nlohmann::json> records = m_records.Records();
        ASSERT_EQ(records.size(), before + (c.record ? 1 : 0));
        if (!c.record)
            continue;
        nlohmann::json expected = nlohmann::json::parse(c.record);
        expected["action"] = "assign";
        expected["program"] = "pellvane-cli";
        expected["driverFile"] = m_pFolder->IniPath();
        nlohmann::json got = records.back();
        for (const char* origin : {"time", "user", "workstation", "version"})
            got.erase(origin);
        EXPECT_EQ(got, expected);
    }
    m_records.PointAt(own);
}

// The event log gets the record's values. (A program started through a
// Unix script gets the prefix's own %ProgramData%: Wine sets it anew.)
TEST_F(CliSettingsTest, EachRecordIsReportedToTheEventLog) {
    const EventTrace trace =
        RunWithEventTrace(CliProgramPath(), {"assign", "1", "10.231.0.40", "--reason", "oven"});
    ASSERT_EQ(trace.exitCode, 0);
    ASSERT_EQ(trace.events.size(), 1u);
    EXPECT_EQ(trace.events[0].type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(trace.events[0].id & 0xffff, 1000u);
    std::vector<std::string> strings = trace.events[0].strings;
    ASSERT_EQ(strings.size(), 12u);
    EXPECT_EQ(strings[0].size(), std::string("2026-12-09T14:02:11.123Z").size()) << strings[0];
    EXPECT_NE(strings[1].find('\\'), std::string::npos) << "user " << strings[1];
    EXPECT_FALSE(strings[2].empty());
    strings.erase(strings.begin(), strings.begin() + 3);
    EXPECT_EQ(strings,
              (std::vector<std::string>{"pellvane-cli", PELLVANE_VERSION_TEXT, "1", "NONE", "",
                                        "TessikBox", "10.231.0.40", m_pFolder->IniPath(), "oven"}));
    ExpectSystem(1, "10.231.0.40");
}

TEST_F(CliSettingsTest, ShowReadsBackWhatWasAssigned) {
    ASSERT_EQ(RunCli({"assign", "1", "10.231.0.40"}).exitCode, 0);
    CliRun json = RunCli({"show", "--format", "json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::parse(R"({
        "driver_file": )" + nlohmann::json(m_pFolder->IniPath()).dump() +
                                                                     R"(,
        "systems": [
          {"system": 1, "in_use": true, "host": "10.231.0.40", "driver_section":
            {"IFTYPE": "TessikBox", "HOST": "10.231.0.40", "SamplingInterval": "500"}},
          {"system": 2, "in_use": false, "host": "", "driver_section":
            {"IFTYPE": "NONE", "HOST": "", "SamplingInterval": "500"}}]})"));

    // A standard user sees the same.
    for (bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "keys readable only" : "keys writable");
        ASSERT_TRUE(!readOnly || stored::MakeSystemKeyReadOnly(1));
        CliRun table = RunCli({"show"});
        EXPECT_EQ(table.exitCode, 0) << table.err;
        EXPECT_NE(table.out.find("1       yes     10.231.0.40\n2       no\n"), std::string::npos)
            << table.out;
    }
}

TEST_F(CliSettingsTest, AnUnwritableDriverFileGivesFourAndNamesIt) {
    // The data-system folder named in win.ini does not exist.
    const std::string folder = m_pFolder->Folder() + "\\gone";
    ::WriteProfileStringA("Ploven", "LocalPath", folder.c_str());
    CliRun run = RunCli({"assign", "1", "10.231.0.40"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "pellvane-cli: The configuration could not be saved completely:\n"
              "- system #1: the driver file " +
                  folder +
                  "\\qzdrv204.ini\n\nSaved:\n- system #1: the registry settings\n\n"
                  "Check the access rights and save again.\n");
    ExpectSystem(1, "10.231.0.40");
}

// Wine's firewall accepts every change and reads nothing back: add (twice,
// as an upgrade does) and remove succeed, and show says "cannot tell" rather
// than failing or inventing an answer. The rule logic is checked against a
// fake (tests/firewall).
TEST(CliFirewallTest, ChangesSucceedAndShowCannotTellUnderWine) {
    const std::string cli = CliProgramPath();
    const std::string folder = cli.substr(0, cli.find_last_of('\\'));
    const std::string added =
        "added the firewall rule \"Pellvane (Pellvane.exe)\": inbound UDP for " + folder +
        "\\Pellvane.exe, all profiles\nadded the firewall rule \"Pellvane (pellvane-cli.exe)\": "
        "inbound UDP for " +
        folder + "\\pellvane-cli.exe, all profiles\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } steps[] = {
        {{"firewall", "add"}, added},
        {{"firewall", "add"}, added},
        {{"firewall", "remove"},
         "removed the firewall rule \"Pellvane (Pellvane.exe)\"\n"
         "removed the firewall rule \"Pellvane (pellvane-cli.exe)\"\n"},
    };
    for (const auto& step : steps) {
        CliRun run = RunCli(step.args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, step.out);
    }

    // The table's "cannot tell" is checked with doctor's (cli_network_test).
    CliRun json = RunCli({"firewall", "show", "--format", "json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    nlohmann::json expected = nlohmann::json::parse(R"json({"rules": [
        {"name": "Pellvane (Pellvane.exe)", "found": null, "change": ""},
        {"name": "Pellvane (pellvane-cli.exe)", "found": null, "change": ""}], "profiles": [
        {"profile": "domain", "active": null, "firewallOn": null, "unicastAnswersAllowed": null,
         "localRulesApply": null},
        {"profile": "private", "active": null, "firewallOn": null, "unicastAnswersAllowed": null,
         "localRulesApply": null},
        {"profile": "public", "active": null, "firewallOn": null, "unicastAnswersAllowed": null,
         "localRulesApply": null}]})json");
    expected["rules"][0]["program"] = folder + "\\Pellvane.exe";
    expected["rules"][1]["program"] = folder + "\\pellvane-cli.exe";
    EXPECT_EQ(nlohmann::json::parse(json.out), expected);
}

}  // namespace
