// The firewall's findings as `firewall show` and `doctor` print them.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "firewall/pellvane_rules.h"

struct FirewallSection {
    bool examined = false;  // false in the portable build: there is no Windows firewall
    FwOutcome outcome;      // a call that failed, which ended the reading
    FirewallFindings findings;
};

// Pellvane's rules for the programs beside this one, and each profile.
FirewallSection ExamineFirewall();

// The folder this program runs from, as the rules name it (UTF-8).
std::string ProgramFolder();

// "the firewall's interface failed reading the rule ...: error 0x80004005".
std::string FirewallFailure(const FwOutcome& outcome);

// Two tables: the rules, then the profiles ("cannot tell" where the
// interface does not say).
std::string FirewallTable(const FirewallFindings& findings);
// null where the interface does not say.
nlohmann::ordered_json FirewallJson(const FirewallFindings& findings);
