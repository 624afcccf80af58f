// Runs pellvane-cli of this build as a separate program, as a script does,
// and collects its exit code and what it wrote to each stream.
#pragma once

#include <string>
#include <vector>

struct CliRun {
    int exitCode = -1;  // -1: it could not start or did not end
    std::string out;
    std::string err;
};

// This build's pellvane-cli, as the platform names it.
std::string CliProgramPath();

// `launcher` (native only): a program that starts pellvane-cli, with its
// arguments. Arguments must not hold quotes.
CliRun RunCli(const std::vector<std::string>& args, std::vector<std::string> launcher = {});
// The same with another copy of the program, at `program` (the platform's path).
CliRun RunCliAt(const std::string& program, const std::vector<std::string>& args,
                std::vector<std::string> launcher = {});
