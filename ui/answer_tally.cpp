#include "ui/answer_tally.h"

#include <new>

#include "net/adapter_table.h"

namespace {

// No reply carries it: a record that still holds it heard nothing.
constexpr LONG kNotHeard = -1;

}  // namespace

CAnswerTally::CAnswerTally(CAdapterTable& table) : m_table(table) {
    try {
        m_families.reserve(static_cast<size_t>(table.GetCount()));
    } catch (const std::bad_alloc&) {
        return;
    }
    // One walk by position, as the list's rebuild.
    for (POSITION pos = table.GetHeadPosition(); pos;) {
        auto* record = static_cast<AdapterRecord*>(table.GetNext(pos));
        if (!record)
            break;  // elements past a gap are not merged into either
        m_families.push_back(record->family);
        record->family = kNotHeard;
    }
    m_bMarked = true;
}

CAnswerTally::~CAnswerTally() {
    Restore();
}

int CAnswerTally::Finish() {
    Restore();
    return m_nHeard;
}

void CAnswerTally::Restore() {
    if (!m_bMarked)
        return;
    m_bMarked = false;
    int heard = 0;
    size_t i = 0;
    for (POSITION pos = m_table.GetHeadPosition(); pos; ++i) {
        auto* record = static_cast<AdapterRecord*>(m_table.GetNext(pos));
        if (!record)
            break;
        if (i >= m_families.size() || record->family != kNotHeard)
            ++heard;  // appended by the discovery, or rewritten by an answer
        else
            record->family = m_families[i];
    }
    m_nHeard = heard;
}
