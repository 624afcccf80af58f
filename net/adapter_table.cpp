#include "net/adapter_table.h"

#include <cstdio>
#include <new>

#include "net/broadcast_channel.h"
#include "net/discovery.h"

CAdapterTable* g_pAdapterTable = nullptr;

namespace {

constexpr int kTableBlockSize = 10;

constexpr DWORD kSlotUsed = 0x1000000;

// The three octets that tell adapters apart, marked so that 0 means "no key".
DWORD SuffixKey(const AdapterRecord& r) {
    return kSlotUsed | static_cast<DWORD>(r.hardware[3]) << 16 |
           static_cast<DWORD>(r.hardware[4]) << 8 | r.hardware[5];
}

// Discovery knows nothing of tables: its answers reach the table through the
// process-wide pointer.
void MergeDiscoveryReply(const AdapterRecord* record) {
    if (!g_pAdapterTable || !record)
        return;
    // The answer was received just now: the channel still knows its card.
    InterfaceAddress card = {0, 0};
    if (g_pBroadcastChannel)
        card = g_pBroadcastChannel->GetLastReceiveCard();
    g_pAdapterTable->Upsert(*record, card.address != 0 ? &card : nullptr);
}

// True when `address` lies in the subnet of `card`.
bool Reaches(const InterfaceAddress& card, DWORD address) {
    return card.address != 0 && ((card.address ^ address) & card.netmask) == 0;
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
    delete[] m_pSlots;
}

int CAdapterTable::Refresh(int seconds) {
    m_bFullReported = false;  // one line per exchange
    ++m_nDiscovery;
    return DiscoverAdapters(seconds, MergeDiscoveryReply);
}

bool CAdapterTable::IsSameAdapter(const AdapterRecord& a, const AdapterRecord& b) {
    // The last three MAC octets; the first three name the maker, not the box.
    return a.hardware[3] == b.hardware[3] && a.hardware[4] == b.hardware[4] &&
           a.hardware[5] == b.hardware[5];
}

bool CAdapterTable::Upsert(const AdapterRecord& record, const InterfaceAddress* card) {
    if (!SyncIndex())
        return false;
    const DWORD key = SuffixKey(record);
    Slot& slot = FindSlot(key);
    if (slot.key == key) {
        *static_cast<AdapterRecord*>(CPtrList::GetAt(slot.pos)) = record;  // all 32 bytes
        if (card)
            NoteCard(slot.index, record.address, *card);
        return true;
    }

    if (GetCount() >= kMostAdapters) {
        if (!m_bFullReported)
            // No system call failed: a plain line, without perror's error text.
            std::fputs("Adapter table full, answers from new adapters dropped\n", stderr);
        m_bFullReported = true;
        return false;
    }
    // Room in the index and for the card first, so that a failure leaves
    // nothing to undo.
    if (!Reserve(m_nKeys + 1))
        return false;
    const int index = GetCount();
    try {
        if (m_cards.size() < static_cast<size_t>(index) + 1)
            m_cards.resize(static_cast<size_t>(index) + 1, HeardThrough{{0, 0}, 0});
    } catch (const std::bad_alloc&) {
        return false;
    }

    // Out of memory the answer is dropped rather than the program: the
    // adapter simply stays unlisted until a later discovery finds it again.
    auto* copy = new (std::nothrow) AdapterRecord(record);
    if (!copy)
        return false;
    POSITION pos;
    try {
        pos = AddTail(copy);
    } catch (const std::bad_alloc&) {
        delete copy;
        return false;
    }
    m_nIndexed = GetCount();
    m_posIndexed = pos;
    if (!m_bGap)
        Insert(key, pos, index);
    m_cards[static_cast<size_t>(index)] =
        HeardThrough{card ? *card : InterfaceAddress{0, 0}, m_nDiscovery};
    return true;
}

void CAdapterTable::NoteCard(int index, DWORD address, const InterfaceAddress& card) {
    if (index < 0 || static_cast<size_t>(index) >= m_cards.size())
        return;
    HeardThrough& heard = m_cards[static_cast<size_t>(index)];
    // Two cards on one segment both hear its answers; the one that can reach
    // it tells where it is, whichever answer came last.
    if (heard.discovery == m_nDiscovery && Reaches(heard.card, address) && !Reaches(card, address))
        return;
    heard = HeardThrough{card, m_nDiscovery};
}

InterfaceAddress CAdapterTable::GetCardAt(int index) const {
    // Elements removed through the list leave the cards by index behind
    // until the next merge forgets them.
    if (index < 0 || index >= GetCount() || GetCount() < m_nIndexed ||
        static_cast<size_t>(index) >= m_cards.size())
        return {0, 0};
    return m_cards[static_cast<size_t>(index)].card;
}

bool CAdapterTable::SyncIndex() {
    if (!m_pSlots && !Reserve(1))
        return false;
    if (GetCount() < m_nIndexed) {
        // Elements were removed: positions may be stale, start over.
        for (int i = 0; i < m_nSlots; ++i)
            m_pSlots[i].key = 0;
        m_nKeys = 0;
        m_nIndexed = 0;
        m_posIndexed = nullptr;
        m_bGap = false;
        m_cards.clear();  // by index, which no longer holds
    }
    if (GetCount() == m_nIndexed)
        return true;
    if (!Reserve(GetCount()))
        return false;
    POSITION pos = m_posIndexed;
    if (pos)
        GetNext(pos);
    else
        pos = GetHeadPosition();
    while (pos) {
        POSITION here = pos;
        auto* stored = static_cast<AdapterRecord*>(GetNext(pos));
        if (!stored)
            m_bGap = true;
        if (!m_bGap && FindSlot(SuffixKey(*stored)).key == 0)
            Insert(SuffixKey(*stored), here, m_nIndexed);
        m_posIndexed = here;
        ++m_nIndexed;
    }
    return true;
}

bool CAdapterTable::Reserve(int elements) {
    if (elements * 2 <= m_nSlots)
        return true;
    int slots = m_nSlots ? m_nSlots : 64;
    while (slots < elements * 2)
        slots *= 2;
    auto* fresh = new (std::nothrow) Slot[static_cast<size_t>(slots)]();
    if (!fresh)
        return false;
    Slot* old = m_pSlots;
    int oldSlots = m_nSlots;
    m_pSlots = fresh;
    m_nSlots = slots;
    m_nKeys = 0;
    for (int i = 0; i < oldSlots; ++i) {
        if (old[i].key)
            Insert(old[i].key, old[i].pos, old[i].index);
    }
    delete[] old;
    return true;
}

CAdapterTable::Slot& CAdapterTable::FindSlot(DWORD key) const {
    // Multiplicative hashing spreads suffixes that count up, as a maker's do.
    const DWORD mask = static_cast<DWORD>(m_nSlots) - 1;
    DWORD i = ((key * 2654435761u) >> 15) & mask;
    while (m_pSlots[i].key && m_pSlots[i].key != key)
        i = (i + 1) & mask;
    return m_pSlots[i];
}

void CAdapterTable::Insert(DWORD key, POSITION pos, int index) {
    Slot& slot = FindSlot(key);
    slot.key = key;
    slot.pos = pos;
    slot.index = index;
    ++m_nKeys;
}

AdapterRecord* CAdapterTable::GetAt(int index) const {
    return static_cast<AdapterRecord*>(CPtrList::GetAt(FindIndex(index)));
}
