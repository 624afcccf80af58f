// show, assign, unassign and firewall in the portable build: the HPLC system
// settings live in the Windows registry and the rules in the Windows
// firewall, so the commands are named, and refused with that reason rather
// than taken for an unknown word.
#ifndef _WIN32

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"

void AddConfigCommands(CLI::App& app, int& exitCode) {
    for (const char* name : {"show", "assign", "unassign"}) {
        CLI::App* command =
            app.add_subcommand(name, "Windows only: the HPLC system settings (pellvane-cli.exe)");
        command->allow_extras();
        command->callback([name, &exitCode] {
            PrintError(std::string(name) +
                       ": the HPLC system settings are kept in the Windows registry; use "
                       "pellvane-cli.exe on the workstation");
            exitCode = kExitRefused;
        });
    }
}

void AddFirewallCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand(
        "firewall", "Windows only: Pellvane's firewall rules (pellvane-cli.exe)");
    command->allow_extras();
    command->callback([&exitCode] {
        PrintError(
            "firewall: the rules are kept in the Windows firewall; use pellvane-cli.exe "
            "on the workstation");
        exitCode = kExitRefused;
    });
}

#endif
