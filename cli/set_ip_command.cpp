// pellvane-cli set-ip: the change-address dialog's exchange for the adapter
// with a given MAC, with the dialog's refusals.
#include <cstring>
#include <optional>

#include "cli/adapter_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "framework/text_encoding.h"
#include "net/address_change.h"
#include "net/address_text.h"
#include "net/broadcast_channel.h"
#include "net/network_check.h"
#include "record/change_recorder.h"

namespace {

// The dialog's field takes no more.
constexpr size_t kNewAddressMaxChars = 64;

struct SetIpOptions {
    std::string mac;
    std::string address;
    int seconds = CAdapterTable::kDiscoverySeconds;
    bool force = false;
    std::optional<std::string> reason;  // in the ANSI code page, as typed
};

// Refuses, before anything is sent, an address the exchange would refuse
// anyway, so that bad input is told apart from an adapter that did not
// answer; otherwise the address it stands for (network order). Needs the
// socket library for host names.
std::optional<DWORD> ResolveNewAddress(const std::string& text) {
    if (text.empty()) {
        PrintError("Please specify the new IP address !");
        return std::nullopt;
    }
    if (text.size() > kNewAddressMaxChars) {
        PrintError("the new address is longer than " + std::to_string(kNewAddressMaxChars) +
                   " characters");
        return std::nullopt;
    }
    if (IsAmbiguousNumericAddress(text.c_str())) {
        PrintError(kAddressFormNotice);
        return std::nullopt;
    }
    sockaddr_in resolved;
    if (ResolveAddress(text.c_str(), resolved) != 0 || resolved.sin_family != AF_INET) {
        PrintError("\"" + text + "\" is neither an IPv4 address nor a known host name");
        return std::nullopt;
    }
    DWORD address = 0;
    std::memcpy(&address, &resolved.sin_addr, sizeof(address));
    if (!IsAssignableAdapterAddress(address)) {
        PrintError(text + " is not an address an adapter can take: " +
                   "0.x.x.x, 127.x.x.x and 224.0.0.0 and above are refused");
        return std::nullopt;
    }
    return address;
}

int RunSetIp(const SetIpOptions& options) {
    const std::optional<MacAddress> mac = ParseMacAddress(options.mac);
    if (!mac) {  // the option's check lets none through
        PrintError("\"" + options.mac + "\" is not a MAC address");
        return kExitRefused;
    }
    AdapterSession session;
    const std::optional<DWORD> address = ResolveNewAddress(options.address);
    if (!address)
        return kExitRefused;
    if (!session.HasUsableNetwork()) {
        PrintError(kNoNetworkMessage);
        return kExitNoNetwork;
    }
    session.Discover(options.seconds);
    int index = -1;
    AdapterRecord* record = session.Find(*mac, &index);
    if (!record) {
        AdapterRecord wanted = {};
        std::memcpy(wanted.hardware, mac->data(), mac->size());
        CString wantedText;
        wanted.GetMacText(wantedText);
        PrintError(NoAnswerMessage(
            session.GetCount() == 0 ? "no adapter"
                                    : std::string("no adapter with MAC ") + wantedText.GetString(),
            options.seconds));
        return kExitNoAdapter;
    }

    CString macText, oldAddress;
    record->GetMacText(macText);
    record->GetIpText(oldAddress);
    const std::string findings = session.AddressFindings(index, *address);
    if (!findings.empty() && !options.force) {
        PrintError(std::string(FormatIPv4(*address).GetString()) + " would give adapter " +
                   macText.GetString() + " a problem: " + findings +
                   "; nothing was sent (--force changes it anyway)");
        return kExitRefused;
    }
    // The record's file is open before anything is sent.
    ChangeRecord change;
    change.action = ChangeRecord::Action::kChangeAddress;
    change.address.mac = macText.GetString();
    change.address.oldAddress = oldAddress.GetString();
    change.address.newAddress = FormatIPv4(*address).GetString();
    change.address.via = session.Via(index);
    change.address.forced = options.force && !findings.empty();
    for (const std::string& text : session.AddressFindingTexts(index, *address))
        change.address.findings.push_back(AnsiToUtf8(text));
    if (options.reason)
        change.reason = AnsiToUtf8(*options.reason);
    const std::string what = "the IP address of " + change.address.mac + " from " +
                             change.address.oldAddress + " to " + change.address.newAddress;
    CChangeRecorder recorder("pellvane-cli");
    if (!recorder.Open(what)) {
        PrintError("nothing was sent: " + Utf8ToAnsi(recorder.GetProblem()));
        return kExitNoRecord;
    }
    // The address checked is the one sent: a host name is not resolved twice.
    change.address.confirmed = record->ChangeAddress(FormatIPv4(*address));
    const bool recorded = recorder.Record(change);
    WarnIfNotReported(recorder);
    if (!change.address.confirmed) {
        PrintError(std::string("Failed to change by the new IP Address ! The adapter ") +
                   macText.GetString() + " at " + oldAddress.GetString() +
                   " did not confirm the change to " + options.address + ".");
    }
    if (!recorded) {
        PrintError(what + " was " + (change.address.confirmed ? "made" : "requested") + ", but " +
                   Utf8ToAnsi(recorder.GetProblem()));
        return kExitNoRecord;
    }
    if (!change.address.confirmed)
        return kExitNoAdapter;
    CString newAddress;
    record->GetIpText(newAddress);
    const std::string line = std::string("IP address of ") + macText.GetString() +
                             " changed from " + oldAddress.GetString() + " to " +
                             newAddress.GetString() + ". Power Off/On the Tessik/ADC.\n";
    return PrintResult(line) ? kExitDone : kExitRefused;
}

}  // namespace

void AddReasonOption(CLI::App& command, std::optional<std::string>& reason) {
    const CLI::Validator notBlank(
        [](std::string& text) {
            return text.find_first_not_of(" \t") == std::string::npos ? "the reason is empty"
                                                                      : std::string();
        },
        "TEXT");
    command.add_option("--reason", reason, "Why the change is made, for its record")
        ->check(notBlank);
}

void AddSetIpCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<SetIpOptions>();
    CLI::App* setIp = app.add_subcommand(
        "set-ip",
        "Give the adapter with this MAC address a new IP address and wait for its answer");
    const CLI::Validator macAddress(
        [](std::string& text) {
            return ParseMacAddress(text) ? std::string()
                                         : "\"" + text +
                                               "\" is not a MAC address like "
                                               "00:1a:2b:3c:4d:5e";
        },
        "MAC");
    setIp->add_option("MAC", options->mac, "The adapter's MAC address (':' or '-', any case)")
        ->required()
        ->check(macAddress);
    setIp->add_option("NEW_ADDRESS", options->address, "The new IPv4 address (or a host name)")
        ->required();
    AddSecondsOption(*setIp, options->seconds);
    setIp->add_flag("--force", options->force,
                    "Change the address even when the network check finds a problem with it");
    AddReasonOption(*setIp, options->reason);
    setIp->callback([options, &exitCode] { exitCode = RunSetIp(*options); });
}
