// Pellvane's two inbound firewall rules (Pellvane.exe and pellvane-cli.exe of
// one installation folder) and what the firewall says about them and about
// each profile, on any FirewallPolicy.
#pragma once

#include <string>
#include <vector>

#include "firewall/firewall_policy.h"

constexpr char kRuleGrouping[] = "Pellvane";

// The rules `firewall add` makes for the programs in `folder` (a Windows
// path without a trailing backslash), Pellvane.exe's first.
std::vector<FwRule> PellvaneRules(const std::string& folder);

// A call that failed: its HRESULT and what it was doing.
struct FwOutcome {
    FwResult result = kFwOk;
    std::string step;  // "adding the rule "Pellvane (Pellvane.exe)"", ...
    bool Ok() const { return FwSucceeded(result); }
};

// Removes every rule by Pellvane's names, then adds both: run twice, it
// leaves one rule each.
FwOutcome AddPellvaneRules(FirewallPolicy& policy, const std::string& folder);
FwOutcome RemovePellvaneRules(FirewallPolicy& policy);

// What a reading says; kCannotTell where the interface does not say
// (E_NOTIMPL, as Wine's does).
enum class FwReading { kNo, kYes, kCannotTell };

struct RuleFinding {
    enum class State { kAsAdded, kChanged, kMissing, kCannotTell };
    std::string name;
    std::string program;  // the path `add` gives it
    State state = State::kCannotTell;
    std::string change;  // for kChanged: how it differs, "disabled; for C:\Other\Pellvane.exe"
};

struct ProfileFinding {
    FwProfile profile = FwProfile::kDomain;
    FwReading active = FwReading::kCannotTell;
    FwReading firewallOn = FwReading::kCannotTell;
    FwReading unicastAnswersAllowed = FwReading::kCannotTell;
    FwReading localRulesApply = FwReading::kCannotTell;  // known for the active profiles only
    FwModifyState modifyState = FwModifyState::kOk;      // why not, when kNo
};

struct FirewallFindings {
    std::vector<RuleFinding> rules;
    std::vector<ProfileFinding> profiles;  // domain, private, public
};

// Any failure other than "not implemented" ends the reading.
FwOutcome ReadFirewall(FirewallPolicy& policy, const std::string& folder,
                       FirewallFindings& findings);

const char* ProfileName(FwProfile profile);  // "Domain", "Private", "Public"

// A sentence that blames the firewall, for when no adapter answered: some
// (active) profile has the firewall on, and refuses unicast answers to
// broadcasts or lacks Pellvane's rules. Empty when it cannot be blamed.
std::string FirewallSuspicion(const FirewallFindings& findings);
