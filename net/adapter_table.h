// CAdapterTable: every adapter that has answered a discovery during the run,
// in order of first discovery, one heap copy of its latest AdapterRecord per
// element. The table also owns the broadcast channel's lifetime.
#pragma once

#include <vector>

#include "framework/ptr_list.h"
#include "net/adapter_record.h"
#include "net/socket_api.h"

class CAdapterTable : public CPtrList {
public:
    // Becomes the process-wide table and opens the broadcast channel.
    CAdapterTable();
    // Closes the channel, stops being the process-wide table, frees every record.
    ~CAdapterTable() override;

    // One discovery of `seconds` (the window's two by default) merged into the
    // process-wide table; the exchange's result (-1 when there is no channel).
    int Refresh(int seconds = kDiscoverySeconds);
    static constexpr int kDiscoverySeconds = 2;

    // Merges one answer: the element of the same adapter (same last three MAC
    // octets) takes all of `record` and keeps its place; an unknown adapter is
    // appended. False when memory ran out or the table is full (kMostAdapters
    // elements); the record is then skipped. A full table says so once per
    // Refresh() on stderr.
    // `card`: the workstation card (address and netmask) the answer came
    // through, kept beside the record; null when not known, which keeps the
    // card an element has. An adapter heard through two cards in one
    // discovery keeps the one whose subnet holds its address.
    bool Upsert(const AdapterRecord& record, const InterfaceAddress* card = nullptr);

    // No real segment comes near it; a flood of forged answers cannot grow
    // memory beyond it.
    static constexpr int kMostAdapters = 65536;

    // The record at `index` (0..GetCount()-1), or null outside that range.
    AdapterRecord* GetAt(int index) const;
    // The card the latest answer of the adapter at `index` came through;
    // zero for both when not known.
    InterfaceAddress GetCardAt(int index) const;

    // True when both records come from the same adapter.
    static bool IsSameAdapter(const AdapterRecord& a, const AdapterRecord& b);

private:
    // MAC suffix -> element, so that a merge costs the same at any size. It
    // answers as the walk from the head would: only elements before the
    // first one without a record are found, the first of equal suffixes
    // wins. Elements appended through the list itself are taken in before the
    // next merge; the index starts over when elements were removed. Stored
    // records keep their MAC (nothing rewrites it), so keys stay valid.
    struct Slot {
        DWORD key;  // the suffix with a marker bit; 0 when free
        POSITION pos;
        int index;  // the element's position from the head
    };
    struct HeardThrough {
        InterfaceAddress card;
        unsigned discovery;  // the Refresh() that heard it
    };

    // Catches up with the list; false when the index cannot grow.
    bool SyncIndex();
    bool Reserve(int elements);
    Slot& FindSlot(DWORD key) const;
    void Insert(DWORD key, POSITION pos, int index);
    // Notes that the answer of the element at `index` came through `card`.
    void NoteCard(int index, DWORD address, const InterfaceAddress& card);

    Slot* m_pSlots = nullptr;
    int m_nSlots = 0;  // a power of two, at least twice the keys
    int m_nKeys = 0;
    int m_nIndexed = 0;               // elements the index has looked at
    POSITION m_posIndexed = nullptr;  // the last of them
    bool m_bGap = false;              // an element without a record was among them
    bool m_bFullReported = false;
    std::vector<HeardThrough> m_cards;  // by element index; shorter when not known
    unsigned m_nDiscovery = 0;
};

// The process-wide table, or null when none exists.
extern CAdapterTable* g_pAdapterTable;
