// Runs pellvane-cli of this build as a separate program, as a user or a
// script does, and collects what it wrote to each stream and its exit code.
#pragma once

#include <string>
#include <vector>

struct CliRun {
    int exitCode = -1;  // -1: it could not start or did not end in time
    std::string out;
    std::string err;
};

CliRun RunCli(const std::vector<std::string>& args);
#ifndef _WIN32
// The same, started through `launcher` (a program and its arguments).
CliRun RunCliThrough(const std::vector<std::string>& launcher,
                     const std::vector<std::string>& args);
#endif
