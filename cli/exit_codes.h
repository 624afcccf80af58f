// The exit status of every pellvane-cli command.
#pragma once

enum ExitCode : int {
    kExitDone = 0,
    kExitRefused = 1,         // bad usage or input the command will not act on
    kExitNoNetwork = 2,       // no card to broadcast through
    kExitNoAdapter = 3,       // nobody answered, no such MAC, or no confirmation
    kExitNotWritten = 4,      // a setting could not be written
    kExitNoRecord = 6,        // the record of changes could not be opened, written or read
    kExitFirewallFailed = 7,  // the firewall's interface failed
};
