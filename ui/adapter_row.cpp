#include "ui/adapter_row.h"

#include "net/adapter_record.h"

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
