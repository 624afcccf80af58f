#include "ui/adapter_row.h"

#include "net/adapter_record.h"

namespace {

char UpperCase(char ch) {
    // CharUpperA takes a single character in the pointer's low word.
    auto single = reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<unsigned char>(ch)));
    return static_cast<char>(reinterpret_cast<ULONG_PTR>(::CharUpperA(single)));
}

}  // namespace

bool AdapterRow::GetText(int column, CString& text) const {
    if (!m_pRecord)
        return false;
    switch (column) {
        case 0:
            if (m_strChangedIp.IsEmpty())
                return m_pRecord->GetIpText(text);
            text = m_strChangedIp;
            return true;
        case 1:
            return m_pRecord->GetMacText(text);
        case 2:
            return m_pRecord->GetStatusText(text);
        default:
            return false;
    }
}

bool AdapterRow::IpTextMatches(const CString& sought, bool prefix) const {
    CString text;
    if (!GetText(0, text))
        return false;
    int length = sought.GetLength();
    if (prefix ? text.GetLength() < length : text.GetLength() != length)
        return false;
    for (int i = 0; i < length; ++i) {
        if (UpperCase(text[i]) != UpperCase(sought[i]))
            return false;
    }
    return true;
}
