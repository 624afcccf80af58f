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
    // through; null when not known, which keeps the cards an element has.
    // An element keeps every card that heard its adapter in the latest
    // discovery that heard it through a card: the first such answer of a
    // later Refresh() starts the set over. Answers merged outside Refresh()
    // count towards the latest one.
    bool Upsert(const AdapterRecord& record, const InterfaceAddress* card = nullptr);

    // No real segment comes near it; a flood of forged answers cannot grow
    // memory beyond it.
    static constexpr int kMostAdapters = 65536;
    // Cards kept per adapter, as many as the channel has sockets; further
    // ones are not kept.
    static constexpr int kMostCards = 16;

    // The record at `index` (0..GetCount()-1), or null outside that range.
    // Constant time for every element a merge has seen; elements appended
    // through the list since are walked to from the last of those.
    AdapterRecord* GetAt(int index) const;
    // The cards that heard the adapter at `index` (see Upsert), in the order
    // they first did; how many were written to `cards`, at most `capacity`.
    // 0 when none is known.
    int GetCardsAt(int index, InterfaceAddress* cards, int capacity) const;

    // The adapters heard in the latest Refresh() (answers merged since count
    // towards it): how many elements, and whether the one at `index` is among
    // them. The table keeps adapters that have stopped answering; these tell
    // them apart. After a removal through the list, nothing counts as heard
    // until the next merge.
    int GetAnsweredCount() const { return m_nAnswered; }
    bool AnsweredLastRefreshAt(int index) const;

    // True when both records come from the same adapter.
    static bool IsSameAdapter(const AdapterRecord& a, const AdapterRecord& b);

private:
    // MAC suffix -> element, so that a merge costs the same at any size. It
    // answers as the walk from the head would: only elements before the
    // first one without a record are found, the first of equal suffixes
    // wins. Elements appended through the list itself are taken in before the
    // next merge; the index starts over when elements were removed (the
    // list counts removals). Stored records keep their MAC (nothing rewrites
    // it), so keys stay valid.
    struct Slot {
        DWORD key;  // the suffix with a marker bit; 0 when free
        int index;  // the element's position from the head
    };
    // One per element, by index: where it is in the list and the cards that
    // heard its adapter. Most adapters are heard through one card, kept
    // here; further ones are chained in m_moreCards.
    struct Element {
        POSITION pos;
        InterfaceAddress card;  // the first card; zero when none is known
        unsigned discovery;     // the Refresh() whose answers the cards are from
        unsigned heard;         // the latest Refresh() that heard it; 0 for none
        int more;               // the first further card in m_moreCards; -1 for none
    };
    struct MoreCard {
        InterfaceAddress card;
        int next;  // -1 ends the chain
    };

    // Catches up with the list; false when the index cannot grow.
    bool SyncIndex();
    bool IsIndexCurrent() const { return GetRemovalCount() == m_nRemovalsSeen; }
    bool Reserve(int elements);
    Slot& FindSlot(DWORD key) const;
    void Insert(DWORD key, int index);
    // Room for noting `card` on `element`, so that NoteCard needs no memory.
    bool MakeRoomForCard(const Element& element, const InterfaceAddress& card);
    void NoteCard(Element& element, const InterfaceAddress& card);
    bool StartsNewCardSet(const Element& element) const;
    // How many cards `element` has, or -1 when `card` is already among them.
    int CardCountIfNew(const Element& element, const InterfaceAddress& card) const;

    Slot* m_pSlots = nullptr;
    int m_nSlots = 0;  // a power of two, at least twice the keys
    int m_nKeys = 0;
    std::vector<Element> m_elements;  // every element the index has looked at
    std::vector<MoreCard> m_moreCards;
    int m_nFreeMoreCard = -1;                // unused links in m_moreCards, chained
    unsigned long long m_nRemovalsSeen = 0;  // the list's removal count the index holds for
    bool m_bGap = false;                     // an element without a record was among them
    bool m_bFullReported = false;
    // Counts from 1, so that an element's 0 means "never heard".
    unsigned m_nDiscovery = 1;
    int m_nAnswered = 0;  // elements heard in discovery m_nDiscovery
};

// The process-wide table, or null when none exists.
extern CAdapterTable* g_pAdapterTable;
