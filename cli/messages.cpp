#include "cli/messages.h"

#include <cstdio>

void PrintError(const std::string& text) {
    std::fprintf(stderr, "pellvane-cli: %s\n", text.c_str());
    std::fflush(stderr);
}

bool PrintResult(const std::string& text) {
    bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written) {
        PrintError("the result could not be written to standard output");
        return false;
    }
    return true;
}
