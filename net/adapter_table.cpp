#include "net/adapter_table.h"

#include <new>

#include "net/broadcast_channel.h"
#include "net/discovery.h"

CAdapterTable* g_pAdapterTable = nullptr;

namespace {

constexpr int kTableBlockSize = 10;
constexpr int kDiscoverySeconds = 2;

// Discovery knows nothing of tables: its answers reach the table through the
// process-wide pointer.
void MergeDiscoveryReply(const AdapterRecord* record) {
    if (g_pAdapterTable && record)
        g_pAdapterTable->Upsert(*record);
}

}  // namespace

CAdapterTable::CAdapterTable() : CPtrList(kTableBlockSize) {
    g_pAdapterTable = this;
    OpenChannel();
}

CAdapterTable::~CAdapterTable() {
    CloseChannel();
    // Only our own registration is withdrawn: a later table stays reachable.
    if (g_pAdapterTable == this)
        g_pAdapterTable = nullptr;
    while (!IsEmpty())
        delete static_cast<AdapterRecord*>(RemoveHead());
}

int CAdapterTable::Refresh() {
    return DiscoverAdapters(kDiscoverySeconds, MergeDiscoveryReply);
}

bool CAdapterTable::IsSameAdapter(const AdapterRecord& a, const AdapterRecord& b) {
    // The last three MAC octets; the first three name the maker, not the box.
    return a.hardware[3] == b.hardware[3] && a.hardware[4] == b.hardware[4] &&
           a.hardware[5] == b.hardware[5];
}

bool CAdapterTable::Upsert(const AdapterRecord& record) {
    POSITION pos = GetHeadPosition();
    while (pos) {
        auto* stored = static_cast<AdapterRecord*>(GetNext(pos));
        if (!stored)
            break;
        if (IsSameAdapter(*stored, record)) {
            *stored = record;  // all 32 bytes; the element keeps its place
            return true;
        }
    }

    // Out of memory the answer is dropped rather than the program: the
    // adapter simply stays unlisted until a later discovery finds it again.
    auto* copy = new (std::nothrow) AdapterRecord(record);
    if (!copy)
        return false;
    try {
        AddTail(copy);
    } catch (const std::bad_alloc&) {
        delete copy;
        return false;
    }
    return true;
}

AdapterRecord* CAdapterTable::GetAt(int index) const {
    return static_cast<AdapterRecord*>(CPtrList::GetAt(FindIndex(index)));
}
