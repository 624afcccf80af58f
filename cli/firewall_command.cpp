// pellvane-cli firewall add, remove and show: Pellvane's inbound rules for
// Pellvane.exe and pellvane-cli.exe of this program's folder, and what the
// firewall's policy says about each profile. The package runs add and remove.
#ifdef _WIN32

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/firewall_report.h"
#include "cli/messages.h"
#include "framework/text_encoding.h"

namespace {

constexpr char kNeedsAdministrator[] =
    "The firewall rules were not changed: changing them needs administrator rights.\n\n"
    "Run pellvane-cli from an administrator command prompt and try again.";

// E_ACCESSDENIED from a change: not an administrator.
int Failure(const FwOutcome& outcome, bool change) {
    if (change && outcome.result == kFwAccessDenied) {
        PrintError(kNeedsAdministrator);
        return kExitNotWritten;
    }
    PrintError(Utf8ToAnsi(FirewallFailure(outcome)));
    return kExitFirewallFailed;
}

int RunChange(bool add) {
    FirewallConnection connection = OpenFirewall();
    if (!connection.policy)
        return Failure({connection.result, "opening the firewall policy"}, true);
    const std::string folder = ProgramFolder();
    const FwOutcome outcome = add ? AddPellvaneRules(*connection.policy, folder)
                                  : RemovePellvaneRules(*connection.policy);
    if (!outcome.Ok())
        return Failure(outcome, true);
    std::string text;
    for (const FwRule& rule : PellvaneRules(folder)) {
        text += add ? "added the firewall rule \"" + rule.name + "\": inbound UDP for " +
                          Utf8ToAnsi(rule.application) + ", all profiles\n"
                    : "removed the firewall rule \"" + rule.name + "\"\n";
    }
    return PrintResult(text) ? kExitDone : kExitRefused;
}

int RunShow(const std::string& format) {
    const FirewallSection section = ExamineFirewall();
    if (!section.outcome.Ok())
        return Failure(section.outcome, false);
    const std::string text =
        format == "json"
            ? FirewallJson(section.findings)
                      .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                  '\n'
            : FirewallTable(section.findings);
    return PrintResult(text) ? kExitDone : kExitRefused;
}

}  // namespace

void AddFirewallCommand(CLI::App& app, int& exitCode) {
    CLI::App* firewall = app.add_subcommand(
        "firewall",
        "Pellvane's inbound firewall rules (UDP, Pellvane.exe and pellvane-cli.exe of this "
        "folder): add or remove them (as administrator), or show them and each profile");
    firewall->require_subcommand(1);
    firewall->add_subcommand("add", "Add both rules, replacing any by their names")
        ->callback([&exitCode] { exitCode = RunChange(true); });
    firewall->add_subcommand("remove", "Remove both rules")->callback([&exitCode] {
        exitCode = RunChange(false);
    });
    auto format = std::make_shared<std::string>("table");
    CLI::App* show = firewall->add_subcommand(
        "show",
        "Print the rules found and, per profile, whether it is active, whether the firewall is "
        "on, whether unicast answers to broadcasts are allowed and whether local rules apply");
    show->add_option("--format", *format, "Output format")
        ->check(CLI::IsMember({"table", "json"}))
        ->capture_default_str();
    show->callback([format, &exitCode] { exitCode = RunShow(*format); });
}

#endif
