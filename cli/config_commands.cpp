// pellvane-cli show, assign and unassign: the HPLC system settings through
// the application object's own load and save, as the window's start-up and
// "Save && Exit" run them, one system at a time.
#ifdef _WIN32

#include <cstdio>
#include <optional>

#include <nlohmann/json.hpp>

#include "app/adapter_config_app.h"
#include "app/recorded_save.h"
#include "cli/commands.h"
#include "cli/driver_ini.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "cli/text_table.h"
#include "config/settings_store.h"
#include "framework/text_encoding.h"
#include "record/change_recorder.h"

namespace {

const char* const kSections[] = {nullptr, "SYSTEM-1", "SYSTEM-2"};

struct ConfigOptions {
    int system = 1;
    std::string address;
    std::string format = "table";
    std::optional<std::string> reason;  // in the ANSI code page, as typed
};

// What the window has after its start-up: the settings keys (created with
// their defaults where missing), the stored hosts and the driver file's path.
// The window shows a system as in use exactly when its stored host is not
// empty.
class ConfigSession {
public:
    ConfigSession() { m_app.LoadConfiguration(); }
    CAdapterConfigApp& App() { return m_app; }
    bool InUse(int n) const { return !m_app.m_strHost[n].IsEmpty(); }

private:
    CAdapterConfigApp m_app;
};

std::string SystemName(int n) {
    return "system #" + std::to_string(n);
}

// SaveSystem as "Save && Exit" calls it, with the change's record; the exit
// status and one result line.
int Save(ConfigSession& session, int n, const std::string& host, const std::string& done,
         const std::optional<std::string>& reason) {
    CAdapterConfigApp& app = session.App();
    const CString strHost(host.c_str());
    const CString* hosts[3] = {};
    hosts[n] = &strHost;
    CChangeRecorder recorder("pellvane-cli");
    const RecordedSave save = SaveSystemsRecorded(
        app, hosts, recorder, reason ? std::optional<std::string>(AnsiToUtf8(*reason)) : reason);
    if (save.result == SaveResult::kNeedsAdministrator) {
        PrintError(kSaveNeedsAdministratorNotice);
        return kExitNotWritten;
    }
    if (save.result == SaveResult::kNotRecordable) {
        PrintError("nothing was saved: " + Utf8ToAnsi(save.problem));
        return kExitNoRecord;
    }
    int exitCode = kExitDone;
    if (save.result == SaveResult::kIncomplete) {
        char text[2048];
        ComposeIncompleteSaveNotice(save.outcome, app.m_strDriverIni.GetString(), text,
                                    sizeof(text));
        PrintError(text);
        exitCode = kExitNotWritten;
    }
    WarnIfNotReported(recorder);
    if (save.bRecordFailed) {
        PrintError(SystemName(n) + " was saved, but " + Utf8ToAnsi(save.problem));
        return kExitNoRecord;
    }
    if (exitCode != kExitDone)
        return exitCode;
    return PrintResult(done + '\n') ? kExitDone : kExitRefused;
}

int RunAssign(const ConfigOptions& options) {
    const int n = options.system;
    if (options.address.empty()) {
        PrintError("Please specify the IP address for " + SystemName(n) + " !");
        return kExitRefused;
    }
    // The window's field takes no more; a longer host would be stored but
    // read back empty.
    if (options.address.size() > static_cast<size_t>(CAdapterConfigApp::kMaxHostLength)) {
        PrintError("the address is longer than " +
                   std::to_string(CAdapterConfigApp::kMaxHostLength) + " characters");
        return kExitRefused;
    }
    // A line end from a file or a script would end up in both stores, and in
    // the driver file start a line of its own.
    for (unsigned char ch : options.address) {
        if (ch < 0x20) {
            char code[8];
            std::snprintf(code, sizeof(code), "0x%02x", ch);
            PrintError(std::string("the address holds a control character (") + code +
                       "): it is stored only as printable text");
            return kExitRefused;
        }
    }
    ConfigSession session;
    if (n == 2 && !session.InUse(2)) {
        PrintError(
            "system #2 is not stored as in use: its address can be set only while it "
            "is, and its in-use state is not changed here");
        return kExitRefused;
    }
    return Save(session, n, options.address,
                SystemName(n) + " now uses the adapter at " + options.address, options.reason);
}

int RunUnassign(const ConfigOptions& options) {
    const int n = options.system;
    ConfigSession session;
    if (n == 2 && session.InUse(2)) {
        PrintError("system #2 is stored as in use, and its in-use state is not changed here");
        return kExitRefused;
    }
    return Save(session, n, std::string(), SystemName(n) + " now uses no adapter", options.reason);
}

struct StoredSystem {
    bool inUse;
    std::string host;
    IniSection section;
};

std::string ShowTable(const std::string& ini, bool iniPresent, const StoredSystem systems[3]) {
    std::vector<TextRow> rows;
    for (int n = 1; n <= 2; ++n)
        rows.push_back({std::to_string(n), systems[n].inUse ? "yes" : "no", systems[n].host});
    std::string text = FormatTextTable({"System", "In use", "Host"}, rows) + "\nDriver file: ";
    if (ini.empty())
        return text + "none (win.ini names no data-system folder)\n";
    text += ini + (iniPresent ? "\n" : " (missing)\n");
    for (int n = 1; n <= 2 && iniPresent; ++n) {
        text += std::string("[") + kSections[n] + "]\n";
        for (const auto& [key, value] : systems[n].section)
            text += key + "=" + value + "\n";
    }
    return text;
}

std::string ShowJson(const std::string& ini, bool iniPresent, const StoredSystem systems[3]) {
    nlohmann::ordered_json json;
    json["driver_file"] = ini.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(ini);
    json["systems"] = nlohmann::ordered_json::array();
    for (int n = 1; n <= 2; ++n) {
        nlohmann::ordered_json section;  // null without a driver file
        if (iniPresent) {
            section = nlohmann::ordered_json::object();
            for (const auto& [key, value] : systems[n].section)
                section[key] = value;
        }
        json["systems"].push_back({{"system", n},
                                   {"in_use", systems[n].inUse},
                                   {"host", systems[n].host},
                                   {"driver_section", section}});
    }
    // Texts in the ANSI code page that are not UTF-8 are shown, not fatal.
    return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

int RunShow(const ConfigOptions& options) {
    ConfigSession session;
    const std::string ini = session.App().m_strDriverIni.GetString();
    const bool iniPresent =
        !ini.empty() && SettingsStore().GetFileStatus(ini.c_str()) == FileStatus::kPresent;
    StoredSystem systems[3];
    for (int n = 1; n <= 2; ++n) {
        systems[n].inUse = session.InUse(n);
        systems[n].host = session.App().m_strHost[n].GetString();
        if (iniPresent)
            systems[n].section = ReadIniSection(ini, kSections[n]);
    }
    const std::string text = options.format == "json" ? ShowJson(ini, iniPresent, systems)
                                                      : ShowTable(ini, iniPresent, systems);
    return PrintResult(text) ? kExitDone : kExitRefused;
}

void AddSystemArgument(CLI::App& command, int& system) {
    command.add_option("SYSTEM", system, "The HPLC system: 1 or 2")
        ->required()
        ->check(CLI::Range(1, 2));
}

}  // namespace

void AddConfigCommands(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<ConfigOptions>();

    CLI::App* show = app.add_subcommand(
        "show", "Print both HPLC systems' stored settings and the driver settings file");
    show->add_option("--format", options->format, "Output format")
        ->check(CLI::IsMember({"table", "json"}))
        ->capture_default_str();
    show->callback([options, &exitCode] { exitCode = RunShow(*options); });

    CLI::App* assign = app.add_subcommand(
        "assign",
        "Store that the HPLC system uses the adapter at ADDRESS, as \"Save && Exit\" "
        "does with its box ticked (system 2: only while it is stored as in use)");
    AddSystemArgument(*assign, options->system);
    assign->add_option("ADDRESS", options->address, "The adapter's IP address")->required();
    AddReasonOption(*assign, options->reason);
    assign->callback([options, &exitCode] { exitCode = RunAssign(*options); });

    CLI::App* unassign = app.add_subcommand(
        "unassign",
        "Store that the HPLC system uses no adapter, as \"Save && Exit\" does with "
        "its box unticked (not for system 2 while it is stored as in use)");
    AddSystemArgument(*unassign, options->system);
    AddReasonOption(*unassign, options->reason);
    unassign->callback([options, &exitCode] { exitCode = RunUnassign(*options); });
}

#endif
