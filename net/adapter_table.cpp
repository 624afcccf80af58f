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

// A vector that grows by doubling, reserved before anything changes: a
// failure then leaves nothing to undo.
template <typename T>
bool RoomForOneMore(std::vector<T>& v) {
    if (v.size() < v.capacity())
        return true;
    try {
        v.reserve(v.empty() ? 64 : v.capacity() * 2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool SameCard(const InterfaceAddress& a, const InterfaceAddress& b) {
    return a.address == b.address && a.netmask == b.netmask;
}

}  // namespace

static_assert(CAdapterTable::kMostCards == BroadcastChannel::kMostFurtherCards + 1,
              "one card per socket of the channel");

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
    m_nAnswered = 0;
    return DiscoverAdapters(seconds, MergeDiscoveryReply);
}

bool CAdapterTable::IsSameAdapter(const AdapterRecord& a, const AdapterRecord& b) {
    // The last three MAC octets; the first three name the maker, not the box.
    return a.hardware[3] == b.hardware[3] && a.hardware[4] == b.hardware[4] &&
           a.hardware[5] == b.hardware[5];
}

bool CAdapterTable::Upsert(const AdapterRecord& record, const InterfaceAddress* card) {
    if (card && card->address == 0)
        card = nullptr;
    if (!SyncIndex())
        return false;
    const DWORD key = SuffixKey(record);
    Slot& slot = FindSlot(key);
    if (slot.key == key) {
        Element& element = m_elements[static_cast<size_t>(slot.index)];
        if (card && !MakeRoomForCard(element, *card))
            return false;
        *static_cast<AdapterRecord*>(CPtrList::GetAt(element.pos)) = record;  // all 32 bytes
        if (card)
            NoteCard(element, *card);
        if (element.heard != m_nDiscovery) {
            element.heard = m_nDiscovery;
            ++m_nAnswered;
        }
        return true;
    }

    if (GetCount() >= kMostAdapters) {
        if (!m_bFullReported)
            // No system call failed: a plain line, without perror's error text.
            std::fputs("Adapter table full, answers from new adapters dropped\n", stderr);
        m_bFullReported = true;
        return false;
    }
    // Room in the index and for the element first, so that a failure leaves
    // nothing to undo.
    if (!Reserve(m_nKeys + 1) || !RoomForOneMore(m_elements))
        return false;

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
    const int index = static_cast<int>(m_elements.size());
    if (!m_bGap)
        Insert(key, index);
    m_elements.push_back(
        Element{pos, card ? *card : InterfaceAddress{0, 0}, m_nDiscovery, m_nDiscovery, -1});
    ++m_nAnswered;
    return true;
}

bool CAdapterTable::StartsNewCardSet(const Element& element) const {
    return element.card.address == 0 || element.discovery != m_nDiscovery;
}

int CAdapterTable::CardCountIfNew(const Element& element, const InterfaceAddress& card) const {
    if (SameCard(element.card, card))
        return -1;
    int count = 1;
    for (int link = element.more; link >= 0; link = m_moreCards[static_cast<size_t>(link)].next) {
        if (SameCard(m_moreCards[static_cast<size_t>(link)].card, card))
            return -1;
        ++count;
    }
    return count;
}

bool CAdapterTable::MakeRoomForCard(const Element& element, const InterfaceAddress& card) {
    if (StartsNewCardSet(element) || m_nFreeMoreCard >= 0)
        return true;
    const int count = CardCountIfNew(element, card);
    return count < 0 || count >= kMostCards || RoomForOneMore(m_moreCards);
}

void CAdapterTable::NoteCard(Element& element, const InterfaceAddress& card) {
    if (StartsNewCardSet(element)) {
        // A later discovery tells anew which cards hear the adapter.
        for (int link = element.more; link >= 0;) {
            MoreCard& more = m_moreCards[static_cast<size_t>(link)];
            const int next = more.next;
            more.next = m_nFreeMoreCard;
            m_nFreeMoreCard = link;
            link = next;
        }
        element = Element{element.pos, card, m_nDiscovery, element.heard, -1};
        return;
    }
    const int count = CardCountIfNew(element, card);
    if (count < 0 || count >= kMostCards)
        return;
    int link = m_nFreeMoreCard;
    if (link >= 0) {
        m_nFreeMoreCard = m_moreCards[static_cast<size_t>(link)].next;
        m_moreCards[static_cast<size_t>(link)] = MoreCard{card, -1};
    } else {
        link = static_cast<int>(m_moreCards.size());
        m_moreCards.push_back(MoreCard{card, -1});  // MakeRoomForCard reserved it
    }
    // At the end of the chain: the cards stay in the order they heard it.
    int* last = &element.more;
    while (*last >= 0)
        last = &m_moreCards[static_cast<size_t>(*last)].next;
    *last = link;
}

int CAdapterTable::GetCardsAt(int index, InterfaceAddress* cards, int capacity) const {
    // After a removal through the list the cards by index no longer hold;
    // the next merge starts them over.
    if (index < 0 || index >= GetCount() || !IsIndexCurrent() ||
        static_cast<size_t>(index) >= m_elements.size())
        return 0;
    const Element& element = m_elements[static_cast<size_t>(index)];
    if (element.card.address == 0 || capacity <= 0)
        return 0;
    int n = 0;
    cards[n++] = element.card;
    for (int link = element.more; link >= 0 && n < capacity;
         link = m_moreCards[static_cast<size_t>(link)].next)
        cards[n++] = m_moreCards[static_cast<size_t>(link)].card;
    return n;
}

bool CAdapterTable::AnsweredLastRefreshAt(int index) const {
    return index >= 0 && index < GetCount() && IsIndexCurrent() &&
           static_cast<size_t>(index) < m_elements.size() &&
           m_elements[static_cast<size_t>(index)].heard == m_nDiscovery;
}

bool CAdapterTable::SyncIndex() {
    if (!m_pSlots && !Reserve(1))
        return false;
    if (!IsIndexCurrent()) {
        // Elements were removed: positions may be stale, start over.
        for (int i = 0; i < m_nSlots; ++i)
            m_pSlots[i].key = 0;
        m_nKeys = 0;
        m_elements.clear();
        m_moreCards.clear();
        m_nAnswered = 0;
        m_nFreeMoreCard = -1;
        m_bGap = false;
        m_nRemovalsSeen = GetRemovalCount();
    }
    if (static_cast<size_t>(GetCount()) == m_elements.size())
        return true;
    if (!Reserve(GetCount()))
        return false;
    try {
        m_elements.reserve(static_cast<size_t>(GetCount()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    POSITION pos = nullptr;
    if (m_elements.empty()) {
        pos = GetHeadPosition();
    } else {
        pos = m_elements.back().pos;
        GetNext(pos);
    }
    while (pos) {
        POSITION here = pos;
        auto* stored = static_cast<AdapterRecord*>(GetNext(pos));
        const int index = static_cast<int>(m_elements.size());
        if (!stored)
            m_bGap = true;
        if (!m_bGap && FindSlot(SuffixKey(*stored)).key == 0)
            Insert(SuffixKey(*stored), index);
        m_elements.push_back(Element{here, {0, 0}, m_nDiscovery, 0, -1});
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
            Insert(old[i].key, old[i].index);
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

void CAdapterTable::Insert(DWORD key, int index) {
    Slot& slot = FindSlot(key);
    slot.key = key;
    slot.index = index;
    ++m_nKeys;
}

AdapterRecord* CAdapterTable::GetAt(int index) const {
    if (index < 0 || index >= GetCount())
        return nullptr;
    if (!IsIndexCurrent() || m_elements.empty())
        return static_cast<AdapterRecord*>(CPtrList::GetAt(FindIndex(index)));
    const size_t known = m_elements.size();
    if (static_cast<size_t>(index) < known)
        return static_cast<AdapterRecord*>(
            CPtrList::GetAt(m_elements[static_cast<size_t>(index)].pos));
    // Appended through the list since the last merge.
    POSITION pos = m_elements.back().pos;
    for (size_t at = known - 1; pos && at < static_cast<size_t>(index); ++at)
        GetNext(pos);
    return static_cast<AdapterRecord*>(CPtrList::GetAt(pos));
}
