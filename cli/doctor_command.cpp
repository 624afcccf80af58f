// pellvane-cli doctor: why the list is empty, or what is wrong with it. What
// the channel made of each card, one discovery with the adapters heard
// through each card, the adapters with findings, on Windows the firewall's
// rules and profiles, and a one-line verdict.
// The report is the point, so it is printed whatever the verdict; the exit
// status carries the verdict as the other commands' does.
#include <nlohmann/json.hpp>

#include "cli/adapter_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/firewall_report.h"
#include "cli/messages.h"
#include "cli/text_table.h"
#include "framework/text_encoding.h"
#include "net/network_check.h"

namespace {

struct DoctorOptions {
    int seconds = CAdapterTable::kDiscoverySeconds;
    std::string format = "table";
};

struct CardReport {
    BroadcastChannel::CardStatus status;
    int answers = 0;  // adapters heard through it in the discovery
};

struct DoctorReport {
    std::vector<CardReport> cards;
    int answered = 0;
    std::vector<AdapterListing> problems;  // answered, with a finding
    FirewallSection firewall;
    std::string verdict;
    int exitCode = kExitDone;
};

bool SameCard(const InterfaceAddress& a, const InterfaceAddress& b) {
    return a.address == b.address && a.netmask == b.netmask;
}

// "A", "A and B", "A, B and C".
std::string JoinCards(const std::vector<std::string>& cards) {
    std::string text;
    for (size_t i = 0; i < cards.size(); ++i) {
        if (i > 0)
            text += i + 1 == cards.size() ? " and " : ", ";
        text += cards[i];
    }
    return text;
}

std::string Verdict(const DoctorReport& report, const std::string& noSearchReason) {
    if (report.answered > 0) {
        std::string text = std::to_string(report.answered) +
                           (report.answered == 1 ? " adapter answered" : " adapters answered");
        if (!report.problems.empty())
            text += ", " + std::to_string(report.problems.size()) + " with a problem";
        return text + ".";
    }
    if (!noSearchReason.empty())
        return "No network card with an IPv4 address can be used: Pellvane cannot search. "
               "Cause: " +
               noSearchReason + ".";
    std::vector<std::string> searched;
    for (const CardReport& card : report.cards) {
        if (card.status.bound)
            searched.push_back(FormatCard(card.status.card).GetString());
    }
    const bool one = searched.size() == 1;
    const std::string suspicion =
        report.firewall.outcome.Ok() ? FirewallSuspicion(report.firewall.findings) : "";
    if (!suspicion.empty())
        return "No adapter answered through " + JoinCards(searched) + ". " + suspicion;
    return "No adapter answered through " + JoinCards(searched) +
           ". Check that the instruments are switched on and cabled to " +
           (one ? "that card's segment" : "those cards' segments") +
           ", and that no firewall on this workstation drops their answers.";
}

DoctorReport Examine(const DoctorOptions& options) {
    AdapterSession session;
    DoctorReport report;
    std::vector<AdapterListing> listings;
    if (session.HasUsableNetwork()) {
        session.Discover(options.seconds);
        listings = session.Listings();
    }
    // After the discovery: it reads the cards again.
    for (const BroadcastChannel::CardStatus& status : session.CardStatuses())
        report.cards.push_back({status, 0});
    for (const AdapterListing& adapter : listings) {
        if (!adapter.answeredNow)
            continue;
        ++report.answered;
        if (!adapter.findings.empty())
            report.problems.push_back(adapter);
        for (CardReport& card : report.cards) {
            for (const InterfaceAddress& heard : adapter.cards) {
                if (card.status.bound && SameCard(card.status.card, heard))
                    ++card.answers;
            }
        }
    }
    report.firewall = ExamineFirewall();
    const std::string noSearchReason = session.NoSearchReason();
    report.verdict = Verdict(report, noSearchReason);
    report.exitCode = report.answered > 0       ? kExitDone
                      : !noSearchReason.empty() ? kExitNoNetwork
                                                : kExitNoAdapter;
    return report;
}

std::string FormatTable(const DoctorReport& report) {
    std::vector<TextRow> cards;
    for (const CardReport& card : report.cards) {
        const bool known = card.status.card.address != 0;
        cards.push_back({known ? FormatIPv4(card.status.card.address).GetString() : "-",
                         known ? std::to_string(PrefixLength(card.status.card.netmask)) : "-",
                         card.status.bound ? "yes" : "no", std::to_string(card.answers),
                         card.status.reason});
    }
    std::string text = FormatTextTable({"Card", "Prefix", "Bound", "Answers", "Reason"}, cards);
    if (!report.problems.empty()) {
        std::vector<TextRow> rows;
        for (const AdapterListing& a : report.problems) {
            std::string findings;
            for (const std::string& finding : a.findings)
                findings += (findings.empty() ? "" : "; ") + finding;
            rows.push_back({a.ip, a.mac, findings});
        }
        text += "\n" + FormatTextTable({"IP Address", "MAC Address", "Findings"}, rows);
    }
    if (report.firewall.examined) {
        text += "\n" +
                (report.firewall.outcome.Ok()
                     ? FirewallTable(report.firewall.findings)
                     : "Firewall: " + Utf8ToAnsi(FirewallFailure(report.firewall.outcome)) + "\n");
    }
    return text + "\n" + report.verdict + "\n";
}

std::string FormatJson(const DoctorReport& report) {
    nlohmann::ordered_json cards = nlohmann::ordered_json::array();
    for (const CardReport& card : report.cards) {
        nlohmann::ordered_json address = nullptr, prefix = nullptr;
        if (card.status.card.address != 0) {
            address = FormatIPv4(card.status.card.address).GetString();
            prefix = PrefixLength(card.status.card.netmask);
        }
        cards.push_back({{"address", address},
                         {"prefixLength", prefix},
                         {"bound", card.status.bound},
                         {"reason", card.status.reason},
                         {"answers", card.answers}});
    }
    nlohmann::ordered_json firewall = nullptr;  // none outside Windows
    if (report.firewall.examined) {
        firewall =
            report.firewall.outcome.Ok()
                ? FirewallJson(report.firewall.findings)
                : nlohmann::ordered_json{{"error", FirewallFailure(report.firewall.outcome)}};
    }
    const nlohmann::ordered_json json = {{"cards", cards},
                                         {"adapters", report.answered},
                                         {"findings", report.problems.size()},
                                         {"firewall", firewall},
                                         {"verdict", report.verdict}};
    return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

int RunDoctor(const DoctorOptions& options) {
    const DoctorReport report = Examine(options);
    const std::string text = options.format == "json" ? FormatJson(report) : FormatTable(report);
    return PrintResult(text) ? report.exitCode : kExitRefused;
}

}  // namespace

void AddDoctorCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<DoctorOptions>();
    CLI::App* doctor = app.add_subcommand(
        "doctor",
        "Show each network card and whether it can search, the adapters heard through each in "
        "one discovery, the adapters with findings, and a verdict (printed whatever the exit "
        "status)");
    AddSecondsOption(*doctor, options->seconds);
    doctor->add_option("--format", options->format, "Output format")
        ->check(CLI::IsMember({"table", "json"}))
        ->capture_default_str();
    doctor->callback([options, &exitCode] { exitCode = RunDoctor(*options); });
}
