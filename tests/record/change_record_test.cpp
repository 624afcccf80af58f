// The record file's line format: keys in their fixed order, whole lines.
#include "record/change_record.h"

#include <gtest/gtest.h>

namespace {

TEST(ChangeRecordTest, FormatRecordTimeIsUtcWithMilliseconds) {
    const struct {
        std::int64_t ms;
        const char* text;
    } cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {-1, "1969-12-31T23:59:59.999Z"},  // before 1970: the day is floored, not truncated
        {1796824931123, "2026-12-09T14:02:11.123Z"},
        {1835481599999, "2028-02-29T23:59:59.999Z"},
        {1835481600000, "2028-03-01T00:00:00.000Z"},
        {1798761599999, "2026-12-31T23:59:59.999Z"},
        {1798761600000, "2027-01-01T00:00:00.000Z"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatRecordTime(c.ms), c.text) << c.ms;
}

TEST(ChangeRecordTest, FormatRecordLineWritesTheKeysInTheirOrder) {
    const RecordOrigin origin = {"2026-12-09T14:02:11.123Z", "LAB\\anna", "HPLC-07", "Pellvane",
                                 "2.1.0"};
    const char* kOrigin =
        R"({"time":"2026-12-09T14:02:11.123Z","user":"LAB\\anna","workstation":"HPLC-07",)"
        R"("program":"Pellvane","version":"2.1.0",)";
    ChangeRecord assign;
    assign.origin = origin;
    assign.assignment = {1, "NONE", "", "TessikBox", "10.231.0.40", "C:\\Ploven\\qzdrv204.ini"};
    ChangeRecord address;
    address.origin = origin;
    address.action = ChangeRecord::Action::kChangeAddress;
    address.address = {
        "00:1a:2b:3c:4d:5e", "10.231.0.30", "10.231.0.40", "10.231.0.1", true, false, {}};
    ChangeRecord forced = address;
    forced.address.confirmed = false;
    forced.address.forced = true;
    forced.address.findings = {"same address as 00:1a:2b:3c:4d:5f", "a \"quoted\" text"};
    forced.reason = "moved to rack 2\r\n\xE9t\xE9";  // CP-1252 bytes, not UTF-8

    const struct {
        const char* name;
        const ChangeRecord& record;
        std::string line;
    } cases[] = {
        {"assign", assign,
         std::string(kOrigin) +
             R"("action":"assign","system":1,"oldType":"NONE","oldHost":"","newType":"TessikBox",)"
             R"("newHost":"10.231.0.40","driverFile":"C:\\Ploven\\qzdrv204.ini"})"
             "\n"},
        {"address change without reason or findings", address,
         std::string(kOrigin) +
             R"("action":"change-address","mac":"00:1a:2b:3c:4d:5e","oldAddress":"10.231.0.30",)"
             R"("newAddress":"10.231.0.40","via":"10.231.0.1","outcome":"confirmed",)"
             R"("forced":false,"findings":[]})"
             "\n"},
        {"forced, not confirmed, findings and a reason with bad bytes", forced,
         std::string(kOrigin) +
             R"("action":"change-address","mac":"00:1a:2b:3c:4d:5e","oldAddress":"10.231.0.30",)"
             R"("newAddress":"10.231.0.40","via":"10.231.0.1","outcome":"not confirmed",)"
             R"("forced":true,"findings":["same address as 00:1a:2b:3c:4d:5f",)"
             R"("a \"quoted\" text"],"reason":"moved to rack 2\r\n)"
             "\xEF\xBF\xBDt\xEF\xBF\xBD\"}\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatRecordLine(c.record), c.line) << c.name;
}

}  // namespace
