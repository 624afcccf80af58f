// CAdapterListView: how the main window's adapter list shows the adapter
// table: the rows and their texts, the warning mark and colour of a row with
// a network finding, the tip that names the findings, the search by typed
// address, the colours in normal and high-contrast mode, and the status text
// of a selected row. The window keeps the commands and the flow.
#pragma once

#include <memory>
#include <vector>

#include "framework/wnd.h"  // windows.h first
#include "framework/list_ctrl.h"
#include "net/network_check.h"
#include "ui/adapter_row.h"
#include "ui/row_tip.h"

class CAdapterTable;

// The list's colours as the window specifies them.
constexpr COLORREF kListText = RGB(0, 0, 0);
constexpr COLORREF kListTextBackground = RGB(184, 176, 160);
constexpr COLORREF kListBackground = RGB(196, 196, 196);
// The text of a row with a network finding: dark red, 5.1:1 against the
// rows' background by the WCAG formula (relative luminance 0.046 against
// 0.438), above the 4.5:1 that text needs; the former RGB(160, 0, 0) gave
// 3.9:1.
constexpr COLORREF kFindingText = RGB(128, 0, 0);

class CAdapterListView {
public:
    CAdapterListView() = default;
    ~CAdapterListView();
    CAdapterListView(const CAdapterListView&) = delete;
    CAdapterListView& operator=(const CAdapterListView&) = delete;

    // Sets up `list`: columns, styles, colours (`highContrast`: the
    // system's), the warning mark and the tips.
    void Attach(HWND list, bool highContrast);
    // Empties the list and lets go of it; before it is destroyed.
    void Detach();

    // In high-contrast mode every colour is the system's; the mark and the
    // status text still tell the findings.
    void SetHighContrast(bool on);
    bool IsHighContrast() const { return m_bHighContrast; }

    // Empties the list, then shows one row per record of `table`, in table
    // order, checked against the network. False when memory ran out before
    // every record had its row (the rows that fit are shown).
    bool Rebuild(const CAdapterTable& table);
    // Empties the list, then releases the rows it showed.
    void Clear();
    // After a confirmed address change: the row shows `ip`, and every row is
    // checked and drawn anew (the change may end another row's finding).
    void ShowChangedAddress(int row, CString&& ip);

    int GetRowCount() const { return static_cast<int>(m_rows.size()); }
    const AdapterRow* Row(int row) const;
    // The row the status text speaks of: the focused row if selected, else
    // the first selected one; -1 for none.
    int SelectedRow() const;
    int CountRowsWithFindings() const;
    // "<IP>: <findings joined by '; '>"; false when the row has none.
    bool RowStatusText(int row, CString& text) const;
    // The row's findings, one per line (its tip); false when it has none.
    bool RowFindings(int row, CString& text) const;

    // The list's notifications, answered.
    LRESULT OnGetDispInfo(NMHDR* header) const;
    LRESULT OnCustomDraw(NMHDR* header) const;
    // The row whose IP text the list's find request matches, or -1.
    LRESULT OnFindItem(NMHDR* header) const;

private:
    bool HasFindings(int row) const;
    bool Findings(int row, LPCSTR separator, CString& text) const;
    void ApplyColours() const;
    void CreateMark();

    CListCtrl m_list;
    const CAdapterTable* m_pTable = nullptr;
    std::unique_ptr<CNetworkCheck> m_pNetworkCheck;  // null without a table or memory
    // The rows in list order; the list holds only their count.
    std::vector<AdapterRow> m_rows;
    CRowTip m_rowTip;
    HIMAGELIST m_hMarks = nullptr;  // image 0: the warning mark
    bool m_bHighContrast = false;
};
