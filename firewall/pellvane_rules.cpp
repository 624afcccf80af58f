#include "firewall/pellvane_rules.h"

#include <algorithm>
#include <cctype>

namespace {

struct Program {
    const char* file;
    const char* ruleName;
};
const Program kPrograms[] = {{"Pellvane.exe", "Pellvane (Pellvane.exe)"},
                             {"pellvane-cli.exe", "Pellvane (pellvane-cli.exe)"}};

// Windows might hold several rules by one name (made by hand or by an older
// tool); Remove is repeated while one is left, but never endlessly.
constexpr int kMaxRemovals = 16;

const FwProfile kProfiles[] = {FwProfile::kDomain, FwProfile::kPrivate, FwProfile::kPublic};

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// Windows compares paths without regard to case.
bool SamePath(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// How a rule found differs from the one `add` makes, "" when it does not in
// anything that lets the answers in.
std::string Change(const FwRule& found, const FwRule& wanted) {
    std::vector<std::string> changes;
    if (!found.enabled)
        changes.push_back("disabled");
    if (!found.allow)
        changes.push_back("blocks");
    if (!found.inbound)
        changes.push_back("outbound");
    if (found.protocol != kFwProtocolUdp)
        changes.push_back("protocol " + std::to_string(found.protocol));
    if ((found.profiles & kFwAllProfiles) != kFwAllProfiles)
        changes.push_back("not for all profiles");
    if (!found.localPorts.empty() && found.localPorts != "*")
        changes.push_back("local ports " + found.localPorts);
    if (!SamePath(found.application, wanted.application))
        changes.push_back("for " + (found.application.empty() ? "any program" : found.application));
    std::string text;
    for (const std::string& change : changes)
        text += (text.empty() ? "" : "; ") + change;
    return text;
}

// Turns E_NOTIMPL into "cannot tell"; false for any other failure.
bool Read(FwResult result, bool value, FwReading& reading) {
    if (result == kFwNotImplemented) {
        reading = FwReading::kCannotTell;
        return true;
    }
    if (!FwSucceeded(result))
        return false;
    reading = value ? FwReading::kYes : FwReading::kNo;
    return true;
}

// "Public profile", "Domain, Private and Public profiles".
std::string Profiles(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text + (names.size() == 1 ? " profile" : " profiles");
}

FwOutcome Failed(FwResult result, std::string step) {
    return {result, std::move(step)};
}

}  // namespace

std::vector<FwRule> PellvaneRules(const std::string& folder) {
    std::vector<FwRule> rules;
    for (const Program& program : kPrograms) {
        FwRule rule;
        rule.name = program.ruleName;
        rule.description =
            "Lets the Tessik/AD adapters' answers to the searches of " + std::string(program.file) +
            " in (UDP, any local port): Windows lets unicast answers to a broadcast in only "
            "briefly, or not at all where the policy refuses them, and broadcast answers never.";
        rule.application = folder + "\\" + program.file;
        rule.grouping = kRuleGrouping;
        // Appended, not assigned: GCC 12's -O3 warns of an overlap in the assignment.
        rule.localPorts.push_back('*');
        rule.protocol = kFwProtocolUdp;
        rule.profiles = kFwAllProfiles;
        rule.inbound = true;
        rule.allow = true;
        rule.enabled = true;
        rules.push_back(rule);
    }
    return rules;
}

FwOutcome RemovePellvaneRules(FirewallPolicy& policy) {
    for (const Program& program : kPrograms) {
        const std::string name = program.ruleName;
        for (int i = 0;; ++i) {
            if (i == kMaxRemovals)
                return Failed(kFwFailed, "removing the rule " + Quoted(name) +
                                             " (still there after " + std::to_string(kMaxRemovals) +
                                             " removals)");
            const FwResult removed = policy.RemoveRule(name);
            if (!FwSucceeded(removed) && removed != kFwNotFound)
                return Failed(removed, "removing the rule " + Quoted(name));
            // Another by that name? Where the firewall cannot tell (Wine),
            // the removal has to do.
            const FwResult left = policy.HasRule(name);
            if (left == kFwNotFound || left == kFwNotImplemented)
                break;
            if (!FwSucceeded(left))
                return Failed(left, "looking for the rule " + Quoted(name));
        }
    }
    return {};
}

FwOutcome AddPellvaneRules(FirewallPolicy& policy, const std::string& folder) {
    FwOutcome removed = RemovePellvaneRules(policy);
    if (!removed.Ok())
        return removed;
    for (const FwRule& rule : PellvaneRules(folder)) {
        const FwResult added = policy.AddRule(rule);
        if (!FwSucceeded(added))
            return Failed(added, "adding the rule " + Quoted(rule.name));
    }
    return {};
}

FwOutcome ReadFirewall(FirewallPolicy& policy, const std::string& folder,
                       FirewallFindings& findings) {
    findings = {};
    for (const FwRule& wanted : PellvaneRules(folder)) {
        RuleFinding finding;
        finding.name = wanted.name;
        finding.program = wanted.application;
        FwRule found;
        const FwResult result = policy.GetRule(wanted.name, found);
        if (result == kFwNotFound) {
            finding.state = RuleFinding::State::kMissing;
        } else if (result == kFwNotImplemented) {
            finding.state = RuleFinding::State::kCannotTell;
        } else if (!FwSucceeded(result)) {
            return Failed(result, "reading the rule " + Quoted(wanted.name));
        } else {
            finding.change = Change(found, wanted);
            finding.state = finding.change.empty() ? RuleFinding::State::kAsAdded
                                                   : RuleFinding::State::kChanged;
        }
        findings.rules.push_back(finding);
    }

    long current = 0;
    const FwResult currentResult = policy.CurrentProfileTypes(current);
    if (!FwSucceeded(currentResult) && currentResult != kFwNotImplemented)
        return Failed(currentResult, "reading the active profiles");
    FwModifyState modifyState = FwModifyState::kOk;
    const FwResult modifyResult = policy.LocalPolicyModifyState(modifyState);
    if (!FwSucceeded(modifyResult) && modifyResult != kFwNotImplemented)
        return Failed(modifyResult, "reading whether local rules apply");

    for (FwProfile profile : kProfiles) {
        const std::string name = ProfileName(profile);
        ProfileFinding finding;
        finding.profile = profile;
        const bool active = (current & static_cast<long>(profile)) != 0;
        Read(currentResult, active, finding.active);
        bool enabled = false, disabled = false;
        const FwResult on = policy.FirewallEnabled(profile, enabled);
        if (!Read(on, enabled, finding.firewallOn))
            return Failed(on, "reading whether the firewall is on (" + name + ")");
        const FwResult unicast = policy.UnicastResponsesDisabled(profile, disabled);
        if (!Read(unicast, !disabled, finding.unicastAnswersAllowed))
            return Failed(unicast, "reading whether unicast answers are allowed (" + name + ")");
        // The interface says it for the active profiles only.
        if (finding.active == FwReading::kYes) {
            Read(modifyResult, modifyState == FwModifyState::kOk, finding.localRulesApply);
            finding.modifyState = modifyState;
        }
        findings.profiles.push_back(finding);
    }
    return {};
}

const char* ProfileName(FwProfile profile) {
    switch (profile) {
        case FwProfile::kDomain:
            return "Domain";
        case FwProfile::kPrivate:
            return "Private";
        case FwProfile::kPublic:
            return "Public";
    }
    return "?";
}

std::string FirewallSuspicion(const FirewallFindings& findings) {
    bool rulesMissing = false;
    for (const RuleFinding& rule : findings.rules) {
        if (rule.state == RuleFinding::State::kMissing ||
            rule.state == RuleFinding::State::kChanged)
            rulesMissing = true;
    }
    // The active profiles decide; where they are not known, any profile may be.
    const bool activeKnown =
        std::any_of(findings.profiles.begin(), findings.profiles.end(),
                    [](const ProfileFinding& p) { return p.active == FwReading::kYes; });
    std::vector<std::string> on, refusing;
    for (const ProfileFinding& p : findings.profiles) {
        if ((activeKnown && p.active != FwReading::kYes) || p.firewallOn != FwReading::kYes)
            continue;
        on.push_back(ProfileName(p.profile));
        if (p.unicastAnswersAllowed == FwReading::kNo)
            refusing.push_back(ProfileName(p.profile));
    }
    std::vector<std::string> causes;
    if (!refusing.empty())
        causes.push_back("The firewall refuses unicast answers to broadcasts (" +
                         Profiles(refusing) + ")");
    if (rulesMissing && !on.empty())
        causes.push_back(
            "Pellvane's firewall rules are missing or changed, with the firewall on (" +
            Profiles(on) + ")");
    if (causes.empty())
        return "";
    std::string text = causes[0];
    if (causes.size() > 1)
        text += ", and " + causes[1];
    return text +
           ": run \"pellvane-cli firewall add\" as administrator, or ask IT for Pellvane's "
           "firewall rules.";
}
