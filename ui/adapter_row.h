// AdapterRow: one list row. The list keeps no rows of its own (owner data):
// it asks for each cell as it draws it, and the texts come from the adapter
// table's record, which stays as it is until the next refresh empties the list.
#pragma once

#include "framework/cstring.h"

struct AdapterRecord;

struct AdapterRow {
    const AdapterRecord* m_pRecord = nullptr;
    // The adapter table index this row shows; the change-address dialog
    // finds the record again by it.
    int m_nTableIndex = -1;
    // The address a confirmed change gave the adapter, in dotted decimal as
    // it was sent; empty until then, and the record's address is shown.
    CString m_strChangedIp;

    // The text of column 0 (IP), 1 (MAC) or 2 (status); false for any other.
    bool GetText(int column, CString& text) const;
    // Whether the IP text is `sought` or, with `prefix`, starts with it;
    // without case, as a list compares the texts of its own items.
    bool IpTextMatches(const CString& sought, bool prefix) const;
};
