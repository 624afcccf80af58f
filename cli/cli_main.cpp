// pellvane-cli: the adapters and the HPLC system settings from a console,
// on the same core as Pellvane.exe.
#include <cstdio>
#include <exception>
#include <new>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "framework/system_libraries.h"

int main(int argc, char** argv) {
    LoadLibrariesFromSystem32Only();
    UseBinaryStreams();
    CLI::App app(
        "Finds the Tessik/AD adapters, changes their addresses and stores the HPLC "
        "systems' assignments.",
        "pellvane-cli");
    app.require_subcommand(1);
    app.fallthrough(false);
    int exitCode = kExitDone;
    AddListCommand(app, exitCode);
    AddSetIpCommand(app, exitCode);
    AddDoctorCommand(app, exitCode);
    AddHistoryCommand(app, exitCode);
    AddConfigCommands(app, exitCode);
    AddFirewallCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help goes to standard output and succeeds; a usage error has been
        // explained on standard error.
        return app.exit(error) == 0 ? kExitDone : kExitRefused;
    } catch (const std::bad_alloc&) {
        PrintError("not enough memory");
        return kExitRefused;
    } catch (const std::exception& error) {
        PrintError(error.what());
        return kExitRefused;
    }
    return exitCode;
}
