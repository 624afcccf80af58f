#include "record/change_record.h"

#include <chrono>
#include <cstdio>

#include <nlohmann/json.hpp>

std::string FormatRecordTime(std::int64_t millisecondsSinceEpoch) {
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds(millisecondsSinceEpoch)};
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss<milliseconds> clock(time - day);
    char text[32];
    std::snprintf(
        text, sizeof(text), "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

const char* AssignmentType(const std::string& host) {
    return host.empty() ? "NONE" : "TessikBox";
}

std::string FormatRecordLine(const ChangeRecord& record) {
    nlohmann::ordered_json json;
    json["time"] = record.origin.time;
    json["user"] = record.origin.user;
    json["workstation"] = record.origin.workstation;
    json["program"] = record.origin.program;
    json["version"] = record.origin.version;
    if (record.action == ChangeRecord::Action::kAssign) {
        const AssignmentChange& change = record.assignment;
        json["action"] = "assign";
        json["system"] = change.system;
        json["oldType"] = change.oldType;
        json["oldHost"] = change.oldHost;
        json["newType"] = change.newType;
        json["newHost"] = change.newHost;
        json["driverFile"] = change.driverFile;
    } else {
        const AddressChange& change = record.address;
        json["action"] = "change-address";
        json["mac"] = change.mac;
        json["oldAddress"] = change.oldAddress;
        json["newAddress"] = change.newAddress;
        json["via"] = change.via;
        json["outcome"] = change.confirmed ? "confirmed" : "not confirmed";
        json["forced"] = change.forced;
        json["findings"] = change.findings;
    }
    if (record.reason)
        json["reason"] = *record.reason;
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}
