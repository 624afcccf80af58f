// The record file read back: every line an entry, the filters, the formats.
#include "record/history.h"

#include <gtest/gtest.h>

namespace {

const std::string kOrigin =
    R"("user":"LAB\\anna","workstation":"HPLC-07","program":"Pellvane","version":"2.1.0",)";
const std::string kAssign1 = R"({"time":"2026-12-09T14:02:11.123Z",)" + kOrigin +
                             R"("action":"assign","system":1,"oldType":"NONE","oldHost":"",)"
                             R"("newType":"TessikBox","newHost":"10.231.0.40","driverFile":""})";
const std::string kAddress =
    R"({"time":"2026-12-10T08:00:00.000Z",)" + kOrigin +
    R"("action":"change-address","mac":"00:1a:2b:3c:4d:5e","oldAddress":"10.231.0.30",)"
    R"("newAddress":"10.231.0.40","via":"10.231.0.1","outcome":"confirmed","forced":true,)"
    R"("findings":["a","b"],"reason":"rack 2\nshelf 3"})";
const std::string kAssign2 = R"({"time":"2026-12-11T09:30:00.000Z",)" + kOrigin +
                             R"("action":"assign","system":2,"oldType":"TessikBox",)"
                             R"("oldHost":"10.231.0.41","newType":"NONE","newHost":""})";
// Hand-edited: no time in the stored form, the MAC in capitals.
const std::string kOddAddress =
    R"({"time":"2026-12-11","action":"change-address","mac":"00:1A:2B:3C:4D:5E",)"
    R"("outcome":"not confirmed"})";
const std::string kOther = R"({"action":"rename","time":"2026-12-12T00:00:00.000Z","to":"x",)"
                           R"("more":{"a":1}})";
const std::string kNotUtf8 =
    "\xFF not a record, just a line long enough for the table to shorten it";

// 1 assign, 2 address (CRLF), 3 empty, 4 assign, 5 odd address, 6 other
// action, 7 not UTF-8, 8 not an object, 9 cut short without an LF.
const std::string kFile = "\xEF\xBB\xBF" + kAssign1 + "\n" + kAddress + "\r\n\n" + kAssign2 + "\n" +
                          kOddAddress + "\n" + kOther + "\n" + kNotUtf8 + "\n" +
                          std::string(100000, '[') + std::string(100000, ']') + "\n" +
                          R"({"time":"2026-12-13T0)";

std::vector<int> Lines(const std::vector<HistoryEntry>& entries) {
    std::vector<int> lines;
    for (const HistoryEntry& entry : entries)
        lines.push_back(entry.IsRecord() ? entry.line : -entry.line);
    return lines;
}

TEST(HistoryTest, EveryLineIsAnEntryARecordOrNot) {
    const std::vector<HistoryEntry> entries = ReadHistory(kFile);
    EXPECT_EQ(Lines(entries), (std::vector<int>{1, 2, -3, 4, 5, 6, -7, -8, -9}));
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[0].text, kAssign1);
    EXPECT_EQ(entries[1].text, kAddress);
    EXPECT_EQ(entries[8].text, R"({"time":"2026-12-13T0)");
    EXPECT_EQ(Lines(ReadHistory(kAssign1 + "\n")), std::vector<int>{1});
    EXPECT_TRUE(ReadHistory("").empty());
}

TEST(HistoryTest, FiltersKeepMatchingRecordsAndEveryUnparsableLine) {
    const struct {
        const char* name;
        HistoryFilter filter;
        std::vector<int> lines;
    } cases[] = {
        {"none", {{}, {}, {}}, {1, 2, -3, 4, 5, 6, -7, -8, -9}},
        {"since a day", {"2026-12-11T00:00:00.000Z", {}, {}}, {-3, 4, 5, 6, -7, -8, -9}},
        {"at the same time", {"2026-12-10T08:00:00.000Z", {}, {}}, {2, -3, 4, 5, 6, -7, -8, -9}},
        {"mac", {{}, "00:1a:2b:3c:4d:5e", {}}, {2, -3, 5, -7, -8, -9}},
        {"system 1", {{}, {}, 1}, {1, -3, -7, -8, -9}},
        {"system 2", {{}, {}, 2}, {-3, 4, -7, -8, -9}},
        {"since and mac",
         {"2026-12-11T00:00:00.000Z", "00:1a:2b:3c:4d:5e", {}},
         {-3, 5, -7, -8, -9}},
        {"mac and system", {{}, "00:1a:2b:3c:4d:5e", 1}, {-3, -7, -8, -9}},
    };
    const std::vector<HistoryEntry> file = ReadHistory(kFile);
    for (const auto& c : cases) {
        std::vector<HistoryEntry> entries = file;
        FilterHistory(entries, c.filter);
        EXPECT_EQ(Lines(entries), c.lines) << c.name;
    }
}

TEST(HistoryTest, SinceTakesADayOrATimeAsStored) {
    const struct {
        const char* text;
        const char* since;  // null: refused
    } cases[] = {
        {"2026-12-09", "2026-12-09T00:00:00.000Z"},
        {"2028-02-29", "2028-02-29T00:00:00.000Z"},
        {"2026-12-09T14:02:11.123Z", "2026-12-09T14:02:11.123Z"},
        {"2026-02-29", nullptr},
        {"2026-13-01", nullptr},
        {"2026-12-9", nullptr},
        {"2026/12/09", nullptr},
        {"2026-12-09 ", nullptr},
        {"2026-12-09T24:00:00.000Z", nullptr},
        {"2026-12-09T14:02:11Z", nullptr},
        {"2026-12-09t14:02:11.123z", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> since = ParseHistorySince(c.text);
        EXPECT_EQ(since.value_or("refused"), c.since ? c.since : "refused") << c.text;
    }
}

TEST(HistoryTest, TheFormatsOfOneFile) {
    const std::vector<HistoryEntry> entries =
        ReadHistory(kAssign1 + "\n" + kAddress + "\n" + kOther + "\n" + kNotUtf8 + "\n");
    const std::string kAssignChange = "system 1: NONE \"\" -> TessikBox 10.231.0.40";
    const std::string kAddressChange =
        "00:1a:2b:3c:4d:5e 10.231.0.30 -> 10.231.0.40 via 10.231.0.1, confirmed, forced, "
        "findings: a; b";
    const std::string kBad = "\xEF\xBF\xBD not a record, just a line long enough for the table";
    const std::string kOrigin[] = {"2026-12-09T14:02:11.123Z", "2026-12-10T08:00:00.000Z",
                                   "LAB\\anna", "HPLC-07", "Pellvane"};
    using Rows = std::vector<std::vector<std::string>>;
    EXPECT_EQ(HistoryRows(entries, HistoryStyle::kTable),
              (Rows{{kOrigin[0], kOrigin[2], kOrigin[3], "Pellvane 2.1.0", kAssignChange, ""},
                    {kOrigin[1], kOrigin[2], kOrigin[3], "Pellvane 2.1.0", kAddressChange,
                     "rack 2 shelf 3"},
                    {"2026-12-12T00:00:00.000Z", "", "", "", "rename to=x more={...}", ""},
                    {"", "", "", "", "unparsable line 4: " + kBad + " to ...", ""}}));
    EXPECT_EQ(
        HistoryRows(entries, HistoryStyle::kCsv),
        (Rows{
            {kOrigin[0], kOrigin[2], kOrigin[3], "Pellvane", "2.1.0", "assign", kAssignChange, ""},
            {kOrigin[1], kOrigin[2], kOrigin[3], "Pellvane", "2.1.0", "change-address",
             kAddressChange, "rack 2\nshelf 3"},
            {"2026-12-12T00:00:00.000Z", "", "", "", "", "rename", "rename to=x more={...}", ""},
            {"", "", "", "", "", "", "unparsable line 4: " + kBad + " to shorten it", ""}}));
    EXPECT_EQ(FormatHistoryJson(entries), "[\n" + kAssign1 + ",\n" + kAddress + ",\n" + kOther +
                                              ",\n{\"unparsable\":true,\"line\":4,\"text\":\"" +
                                              kBad + " to shorten it\"}\n]\n");
    EXPECT_EQ(FormatHistoryJson({}), "[]\n");
}

}  // namespace
