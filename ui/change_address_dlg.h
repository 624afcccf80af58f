// CChangeAddressDlg: gives the adapter of one list row a new IPv4 address.
// Shows the row's current address and MAC, asks for the new address and a
// confirmation, sends the address-change command and reports the outcome.
#pragma once

#include <string>
#include <vector>

#include "framework/afx_types.h"
#include "framework/cstring.h"
#include "framework/dialog.h"
#include "framework/font.h"
#include "record/change_record.h"

// What the main window hands to the dialog: the row and what it shows.
struct SelectedAdapter {
    int m_nRow;
    // The adapter table index the row was built from; the dialog finds the
    // adapter's record here.
    int m_nTableIndex;
    CString m_strIpAddress;
    CString m_strMacAddress;
};

class CChangeAddressDlg : public CDialog {
public:
    // Without a parent, the application's main window owns the dialog.
    CChangeAddressDlg(CWnd* parent, const SelectedAdapter& adapter);

    CFont m_font;
    int m_bChanged = 0;  // 1 once the adapter confirmed the new address
    int m_nRow;
    int m_nTableIndex;
    CString m_strNewAddress;  // field 1008
    CString m_strIpAddress;   // static 1006; after a confirmed change, the address sent (dotted)
    CString m_strMacAddress;  // static 1007

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;  // "Apply"
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;

private:
    // True when `address` (network order) gives the adapter no network
    // finding, or the user wants it despite the warning that names them;
    // the findings' texts go to `texts` (UTF-8) for the record.
    bool ConfirmDespiteFindings(DWORD address, std::vector<std::string>& texts) const;
    // The record of sending `sent` to this dialog's adapter, outcome unset.
    ChangeRecord DescribeChange(const CString& sent, std::vector<std::string> findings) const;
};
