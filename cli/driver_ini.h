// Reading the driver settings file back for display. The program itself
// never reads it (the settings keys are the source of the assignment).
#pragma once

#ifdef _WIN32

#include <string>
#include <utility>
#include <vector>

using IniSection = std::vector<std::pair<std::string, std::string>>;

// Every key=value line of `section` in the INI file at `path`, in file
// order; empty when the file or the section does not exist.
IniSection ReadIniSection(const std::string& path, const char* section);

#endif
