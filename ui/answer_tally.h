// How many adapters answered one discovery. The table keeps every adapter
// that ever answered, with its latest answer, and says nothing of when that
// was: the tally marks each stored record before the discovery, and an
// answer rewrites the whole record, mark included.
#pragma once

#include <vector>

#include "net/adapter_record.h"

class CAdapterTable;

class CAnswerTally {
public:
    // Marks every record of `table`; without memory for the marks nothing is
    // marked and the count stays unknown.
    explicit CAnswerTally(CAdapterTable& table);
    // Puts back what a record that no answer rewrote held.
    ~CAnswerTally();
    CAnswerTally(const CAnswerTally&) = delete;
    CAnswerTally& operator=(const CAnswerTally&) = delete;

    // After the discovery: the adapters it heard, new ones included, with
    // every mark taken back; -1 when not known.
    int Finish();

private:
    void Restore();

    CAdapterTable& m_table;
    // The address-family tag of each marked record, in table order; a reply
    // always carries kFamilyIPv4 there.
    std::vector<LONG> m_families;
    bool m_bMarked = false;
    int m_nHeard = -1;
};
