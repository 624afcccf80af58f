// The subcommands of pellvane-cli. Each Add* function registers one with its
// options; when it runs, its exit status (cli/exit_codes.h) goes to
// `exitCode`.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

void AddListCommand(CLI::App& app, int& exitCode);
void AddSetIpCommand(CLI::App& app, int& exitCode);
void AddDoctorCommand(CLI::App& app, int& exitCode);
void AddHistoryCommand(CLI::App& app, int& exitCode);
// show, assign and unassign: the settings exist only where the registry
// does; the portable build names them and refuses them.
void AddConfigCommands(CLI::App& app, int& exitCode);
// firewall add|remove|show: Windows only, as the settings.
void AddFirewallCommand(CLI::App& app, int& exitCode);

// --reason TEXT: why the change is made, for its record.
void AddReasonOption(CLI::App& command, std::optional<std::string>& reason);

// --seconds S: how long a discovery listens, as the window's two by default.
void AddSecondsOption(CLI::App& command, int& seconds);
constexpr char kNoNetworkMessage[] =
    "no usable network: no network card is up with an IPv4 address, or none could be opened "
    "for broadcasts";
// "<who> answered within S seconds", for a discovery that found nobody (or
// not the one asked for).
std::string NoAnswerMessage(const std::string& who, int seconds);
