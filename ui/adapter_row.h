// AdapterRow: the three display texts of one list row, owned by the row.
#pragma once

#include "framework/cstring.h"

struct AdapterRow {
    CString m_strIp;      // column 0
    CString m_strMac;     // column 1
    CString m_strStatus;  // column 2
    // The adapter table index this row shows. Rows that could not be added
    // would otherwise shift every later row off its record.
    int m_nTableIndex = -1;
};
