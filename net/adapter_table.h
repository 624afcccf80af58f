// CAdapterTable: every adapter that has answered a discovery during the run,
// in order of first discovery, one heap copy of its latest AdapterRecord per
// element. The table also owns the broadcast channel's lifetime.
#pragma once

#include "framework/ptr_list.h"
#include "net/adapter_record.h"

class CAdapterTable : public CPtrList {
public:
    // Becomes the process-wide table and opens the broadcast channel.
    CAdapterTable();
    // Closes the channel, stops being the process-wide table, frees every record.
    ~CAdapterTable() override;

    // One two-second discovery merged into the process-wide table; the
    // exchange's result (-1 when there is no channel).
    int Refresh();

    // Merges one answer: the element of the same adapter (same last three MAC
    // octets) takes all of `record` and keeps its place; an unknown adapter is
    // appended. False only when memory ran out; the record is then skipped.
    bool Upsert(const AdapterRecord& record);

    // The record at `index` (0..GetCount()-1), or null outside that range.
    AdapterRecord* GetAt(int index) const;

    // True when both records come from the same adapter.
    static bool IsSameAdapter(const AdapterRecord& a, const AdapterRecord& b);
};

// The process-wide table, or null when none exists.
extern CAdapterTable* g_pAdapterTable;
