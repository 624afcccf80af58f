// Where the record of changes lives: the folder "Pellvane" in the machine's
// shared program-data folder (%ProgramData%, C:\ProgramData by default),
// and the file changes.jsonl in it. Outside Windows the shared folder is
// $ProgramData, else /var/lib.
#pragma once

#include <string>

// Both in the platform's form, UTF-8.
std::string RecordFolderPath();
std::string RecordFilePath();
