// Command-line options of the adapter simulator.
#pragma once

#include <string>
#include <vector>

#include "tools/adapter_sim/sim_adapter.h"

struct SimOptions {
    Octets4 bindAddress{0, 0, 0, 0};
    int port = 9029;
    // --adapter ones first, in command-line order, then the generated ones.
    std::vector<SimAdapter> adapters;
    std::vector<MacAddress> silent;
    bool duplicate = false;
    int shortLength = -1;  // -1: no truncated reply
    bool foreign = false;
    bool oversized = false;
    int delayMs = 0;
    int spreadMs = 0;  // the answers to one request spread over this long
    bool wrongAnswer = false;
    bool ignoreChange = false;
    std::string logPath;  // empty: standard error
    std::string readyFile;
    int lifetimeSeconds = 60;
};

enum class ParseResult { kRun, kHelp, kError };

// Parses argv[1..]. On kError, `error` holds a one-line reason.
ParseResult ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                            std::string& error);

// The --help text: every option, its default and range, and the fault modes.
const char* SimUsageText();
