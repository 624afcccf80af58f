#include "cli/firewall_report.h"

#include <cstdio>

#include "cli/text_table.h"
#include "framework/text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char* Text(FwReading reading) {
    return reading == FwReading::kYes ? "yes" : reading == FwReading::kNo ? "no" : "cannot tell";
}

nlohmann::ordered_json Json(FwReading reading) {
    if (reading == FwReading::kCannotTell)
        return nullptr;
    return reading == FwReading::kYes;
}

const char* BlockedBy(FwModifyState state) {
    return state == FwModifyState::kGroupPolicyOverride ? "group policy"
                                                        : "blocking all inbound traffic";
}

std::string FoundText(const RuleFinding& rule) {
    switch (rule.state) {
        case RuleFinding::State::kAsAdded:
            return "yes";
        case RuleFinding::State::kChanged:
            return "changed: " + rule.change;
        case RuleFinding::State::kMissing:
            return "no";
        case RuleFinding::State::kCannotTell:
            break;
    }
    return "cannot tell";
}

}  // namespace

std::string ProgramFolder() {
#ifdef _WIN32
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return "";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return WideToUtf8(path.substr(0, path.find_last_of(L'\\')));
#else
    return "";
#endif
}

FirewallSection ExamineFirewall() {
    FirewallSection section;
#ifdef _WIN32
    section.examined = true;
    FirewallConnection connection = OpenFirewall();
    if (!connection.policy) {
        section.outcome = {connection.result, "opening the firewall policy"};
        return section;
    }
    section.outcome = ReadFirewall(*connection.policy, ProgramFolder(), section.findings);
#endif
    return section;
}

std::string FirewallFailure(const FwOutcome& outcome) {
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08X", static_cast<unsigned>(outcome.result));
    return "the firewall's interface failed " + outcome.step + ": error " + code;
}

std::string FirewallTable(const FirewallFindings& findings) {
    std::vector<TextRow> rules;
    for (const RuleFinding& rule : findings.rules)
        rules.push_back({rule.name, Utf8ToAnsi(rule.program), Utf8ToAnsi(FoundText(rule))});
    std::vector<TextRow> profiles;
    for (const ProfileFinding& p : findings.profiles) {
        std::string local = Text(p.localRulesApply);
        if (p.localRulesApply == FwReading::kNo)
            local += std::string(" (") + BlockedBy(p.modifyState) + ")";
        profiles.push_back({ProfileName(p.profile), Text(p.active), Text(p.firewallOn),
                            Text(p.unicastAnswersAllowed), local});
    }
    return FormatTextTable({"Firewall rule", "Program", "Found"}, rules) + "\n" +
           FormatTextTable(
               {"Profile", "Active", "Firewall on", "Unicast answers allowed", "Local rules apply"},
               profiles);
}

nlohmann::ordered_json FirewallJson(const FirewallFindings& findings) {
    nlohmann::ordered_json rules = nlohmann::ordered_json::array();
    for (const RuleFinding& rule : findings.rules) {
        nlohmann::ordered_json found = nullptr;
        if (rule.state != RuleFinding::State::kCannotTell)
            found = rule.state != RuleFinding::State::kMissing;
        rules.push_back({{"name", rule.name},
                         {"program", rule.program},
                         {"found", found},
                         {"change", rule.change}});
    }
    nlohmann::ordered_json profiles = nlohmann::ordered_json::array();
    for (const ProfileFinding& p : findings.profiles) {
        std::string name = ProfileName(p.profile);
        name[0] = static_cast<char>(name[0] - 'A' + 'a');
        nlohmann::ordered_json profile = {{"profile", name},
                                          {"active", Json(p.active)},
                                          {"firewallOn", Json(p.firewallOn)},
                                          {"unicastAnswersAllowed", Json(p.unicastAnswersAllowed)},
                                          {"localRulesApply", Json(p.localRulesApply)}};
        if (p.localRulesApply == FwReading::kNo)
            profile["localRulesBlockedBy"] = BlockedBy(p.modifyState);
        profiles.push_back(profile);
    }
    return {{"rules", rules}, {"profiles", profiles}};
}
