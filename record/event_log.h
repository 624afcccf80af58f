// The record of changes in the Windows event log: each record is reported to
// the Application log under the source "Pellvane", with the message table in
// Pellvane.exe, so that it reads whole in Event Viewer and in a central
// collection. Builds without an event log have none of this.
#pragma once

#ifdef _WIN32

#include <string>

#include "record/change_record.h"

// 1000 assignment saved, 1001 address changed, 1002 address change not
// confirmed. False when the event could not be reported.
bool ReportChangeEvent(const ChangeRecord& record);

// 1003: a change was refused because its record could not be written.
// `change` says what was to be changed, `why` names the record file and
// what is wrong with it.
bool ReportRefusedChangeEvent(const RecordOrigin& origin, const std::string& change,
                              const std::string& why);

// Registers the source "Pellvane" with Pellvane.exe beside the running
// program as its message file, when the source is missing and this process
// may create it (administrators); the package registers it otherwise.
void RegisterMissingEventSource();

#endif
