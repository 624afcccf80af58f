// pellvane-cli history: the record of changes, oldest first, as a table for
// people or as CSV or JSON for programs. A line that holds no record is shown
// as such whatever the filters, never dropped.
#include <cstdio>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/mac_address.h"
#include "cli/messages.h"
#include "cli/text_table.h"
#include "framework/text_encoding.h"
#include "record/history.h"
#include "record/record_location.h"
#include "record/record_reader.h"

namespace {

struct HistoryOptions {
    std::string format = "table";
    std::string since;  // in the stored form once checked; empty: any time
    std::string mac;    // lower case with colons once checked; empty: any
    int system = 0;     // 0: any
};

HistoryFilter Filter(const HistoryOptions& options) {
    HistoryFilter filter;
    if (!options.since.empty())
        filter.since = options.since;
    if (!options.mac.empty())
        filter.mac = options.mac;
    if (options.system)
        filter.system = options.system;
    return filter;
}

// The messages name the file in UTF-8; the console reads the ANSI code page.
void PrintFileError(const std::string& text) {
    PrintError(Utf8ToAnsi(text));
}

std::string FormatTable(const std::vector<HistoryEntry>& entries) {
    std::vector<TextRow> rows = HistoryRows(entries, HistoryStyle::kTable);
    // Converted cell by cell, so that the columns line up in the code page's characters.
    for (TextRow& row : rows) {
        for (std::string& cell : row)
            cell = Utf8ToAnsi(cell);
    }
    return FormatTextTable(HistoryHeader(HistoryStyle::kTable), rows);
}

std::string FormatEntries(const std::vector<HistoryEntry>& entries, const std::string& format) {
    if (format == "json")
        return FormatHistoryJson(entries);
    if (format == "csv")
        return FormatCsv(HistoryHeader(HistoryStyle::kCsv),
                         HistoryRows(entries, HistoryStyle::kCsv));
    return FormatTable(entries);
}

int RunHistory(const HistoryOptions& options) {
    const std::string path = RecordFilePath();
    const RecordFileText file = ReadRecordFile(path);
    if (file.status == RecordFileText::Status::kFailed) {
        PrintFileError(std::string("the record of changes ") + path +
                       " could not be read: " + file.error);
        return kExitNoRecord;
    }
    std::vector<HistoryEntry> entries = ReadHistory(file.text);
    const bool table = options.format == "table";
    // A table of nothing would look like a lost result: say why instead.
    if (table && file.status == RecordFileText::Status::kMissing) {
        PrintFileError(std::string("no changes are on record: ") + path + " does not exist");
        return kExitDone;
    }
    if (table && entries.empty()) {
        PrintFileError(std::string("no changes are on record: ") + path + " is empty");
        return kExitDone;
    }
    FilterHistory(entries, Filter(options));
    if (table && entries.empty()) {
        PrintError("no change on record matches");
        return kExitDone;
    }
    return PrintResult(FormatEntries(entries, options.format)) ? kExitDone : kExitRefused;
}

std::string FormatMac(const MacAddress& mac) {
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace

void AddHistoryCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<HistoryOptions>();
    CLI::App* history = app.add_subcommand(
        "history",
        "Show the record of changes: the assignments saved and the address changes sent, who "
        "made them, when, where and why");
    history->add_option("--format", options->format, "Output format")
        ->check(CLI::IsMember({"table", "csv", "json"}))
        ->capture_default_str();
    // Both checks also bring the text into the form the records store.
    const CLI::Validator since(
        [](std::string& text) {
            const std::optional<std::string> time = ParseHistorySince(text);
            if (!time)
                return std::string("\"") + text +
                       "\" is neither a date like 2026-12-09 nor a time like "
                       "2026-12-09T14:02:11.123Z (UTC)";
            text = *time;
            return std::string();
        },
        "DATE");
    history
        ->add_option("--since", options->since,
                     "Only the changes made on or after this day (YYYY-MM-DD, UTC) or time")
        ->transform(since);
    const CLI::Validator macAddress(
        [](std::string& text) {
            const std::optional<MacAddress> mac = ParseMacAddress(text);
            if (!mac)
                return std::string("\"") + text + "\" is not a MAC address like 00:1a:2b:3c:4d:5e";
            text = FormatMac(*mac);
            return std::string();
        },
        "MAC");
    history
        ->add_option("--mac", options->mac,
                     "Only the address changes of this adapter (':' or '-', any case)")
        ->transform(macAddress);
    history->add_option("--system", options->system, "Only the assignments of this HPLC system")
        ->check(CLI::Range(1, 2));
    history->callback([options, &exitCode] { exitCode = RunHistory(*options); });
}
