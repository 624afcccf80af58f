// The origin of a record made now: the time (UTC), the account this process
// runs as, the computer's name, the program and its version.
#pragma once

#include "record/change_record.h"

RecordOrigin CurrentOrigin(const char* program);
