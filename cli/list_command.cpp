// pellvane-cli list: one discovery and the adapters in table order.
#include <nlohmann/json.hpp>

#include "cli/adapter_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "cli/text_table.h"

namespace {

struct ListOptions {
    int seconds = CAdapterTable::kDiscoverySeconds;
    std::string format = "table";
};

std::string FormatJson(const std::vector<AdapterListing>& listings) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const AdapterListing& a : listings) {
        nlohmann::ordered_json via = nullptr;
        if (!a.via.empty())
            via = a.via;
        array.push_back({{"ip", a.ip},
                         {"mac", a.mac},
                         {"status", a.status},
                         {"controller", a.controller},
                         {"via", via},
                         {"reachable", a.reachable},
                         {"findings", a.findings}});
    }
    return array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

std::string FormatListing(const std::vector<AdapterListing>& listings, const std::string& format) {
    if (format == "json")
        return FormatJson(listings);
    std::vector<TextRow> rows;
    for (const AdapterListing& a : listings) {
        std::string findings;
        for (const std::string& text : a.findings)
            findings += (findings.empty() ? "" : "; ") + text;
        rows.push_back({a.ip, a.mac, a.status, a.controller, findings});
    }
    if (format == "csv")
        return FormatCsv({"ip", "mac", "status", "controller", "findings"}, rows);
    // The window's column titles, and the controller and the findings on their own.
    return FormatTextTable({"IP Address", "MAC Address", "Status", "Controller", "Findings"}, rows);
}

int RunList(const ListOptions& options) {
    AdapterSession session;
    if (!session.HasUsableNetwork()) {
        PrintError(kNoNetworkMessage);
        return kExitNoNetwork;
    }
    session.Discover(options.seconds);
    const std::vector<AdapterListing> listings = session.Listings();
    if (listings.empty()) {
        PrintError(NoAnswerMessage("no adapter", options.seconds));
        return kExitNoAdapter;
    }
    return PrintResult(FormatListing(listings, options.format)) ? kExitDone : kExitRefused;
}

}  // namespace

void AddSecondsOption(CLI::App& command, int& seconds) {
    command.add_option("--seconds", seconds, "How long the discovery listens for answers")
        ->check(CLI::Range(1, 10))
        ->capture_default_str();
}

std::string NoAnswerMessage(const std::string& who, int seconds) {
    return who + " answered within " + std::to_string(seconds) +
           (seconds == 1 ? " second" : " seconds");
}

void AddListCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* list = app.add_subcommand(
        "list",
        "Discover the adapters and list IP address, MAC address, status, controller and the "
        "network check's findings");
    AddSecondsOption(*list, options->seconds);
    list->add_option("--format", options->format, "Output format")
        ->check(CLI::IsMember({"table", "csv", "json"}))
        ->capture_default_str();
    list->callback([options, &exitCode] { exitCode = RunList(*options); });
}
