// One entry of the record of changes: who changed what, when, where and why.
// Every text is UTF-8; the Windows side converts from the ANSI code page and
// from UTF-16 where it reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Who made a change, where and with which program; `time` is UTC, as
// FormatRecordTime writes it.
struct RecordOrigin {
    std::string time;
    std::string user;         // DOMAIN\name of the process's user
    std::string workstation;  // the computer's name
    std::string program;      // "Pellvane" or "pellvane-cli"
    std::string version;      // the release's one version number
};

// A save that changed what an HPLC system's settings key holds.
struct AssignmentChange {
    int system = 1;
    std::string oldType, oldHost;  // a missing key: "NONE" and ""
    std::string newType, newHost;
    std::string driverFile;  // the driver settings file's path; "" when none is known
};

// A change request sent to an adapter, and whether it confirmed it.
struct AddressChange {
    std::string mac;  // lower case, colons, as the list shows it
    std::string oldAddress, newAddress;
    std::string via;  // the card it was heard through, dotted
    bool confirmed = false;
    bool forced = false;                // set-ip --force overrode a finding
    std::vector<std::string> findings;  // what the change was warned about
};

struct ChangeRecord {
    enum class Action { kAssign, kChangeAddress };
    RecordOrigin origin;
    Action action = Action::kAssign;
    AssignmentChange assignment;  // for kAssign
    AddressChange address;        // for kChangeAddress
    std::optional<std::string> reason;
};

// "2026-12-09T14:02:11.123Z" for a time in milliseconds since 1970 (UTC).
std::string FormatRecordTime(std::int64_t millisecondsSinceEpoch);

// The record as one line of the record file: a JSON object with its keys in
// their fixed order, ending in LF. Text that is not valid UTF-8 is written
// with replacement characters rather than lost.
std::string FormatRecordLine(const ChangeRecord& record);

// The stored type of a host: "NONE" for none, else "TessikBox".
const char* AssignmentType(const std::string& host);
