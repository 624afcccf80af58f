// CAdapterConfigDlg: the main configuration window. Lists the discovered
// adapters, lets the user assign them to HPLC systems 1 and 2, refresh, change
// an adapter's address, and save.
#pragma once

#include <memory>
#include <vector>

#include "framework/dialog.h"
#include "framework/font.h"
#include "framework/list_ctrl.h"
#include "net/network_check.h"
#include "ui/adapter_row.h"
#include "ui/row_tip.h"

class CAdapterConfigDlg : public CDialog {
public:
    explicit CAdapterConfigDlg(CWnd* parent = nullptr);
    ~CAdapterConfigDlg() override;

    void RefreshList();
    void ClearList();
    // Empties the list, then releases the rows it showed.
    void FreeRowData();
    void CopySelectedAddress(int systemNumber);
    // Runs the change-address dialog for `row`; after a confirmed change the
    // row shows the new address.
    void OpenChangeAddressDialog(int row);

    CFont m_font;
    int m_nSelectedRow = -1;
    CString m_strInitialHost[3];  // [1] and [2], copied from the application at construction
    CListCtrl m_list;
    HICON m_hIcon = nullptr;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;
    void OnDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void AddAboutToSystemMenu();
    bool OnSysCommand(UINT id, LPARAM lParam);
    bool OnPaint();
    HICON OnQueryDragIcon() const;
    void OnUpdate();
    void OnSetIpAddress();
    void OnUseSystem1();
    void OnUseSystem2();
    LRESULT OnGetDispInfoList(NMHDR* header);
    LRESULT OnItemChangedList(NMHDR* header);
    LRESULT OnDblClkList(NMHDR* header);
    LRESULT OnRClickList(NMHDR* header);
    // The row whose IP text the list's find request matches, or -1.
    LRESULT OnFindItemList(NMHDR* header);
    bool OnContextMenu(HWND window, LPARAM position);
    // The row menu with its top-left corner at `screenPoint`; its command
    // comes back to this window.
    void ShowListMenu(POINT screenPoint);
    const AdapterRow* RowData(int row) const;
    // Draws a row with a network finding in its own text colour.
    LRESULT OnCustomDrawList(NMHDR* header);
    // The row's network findings, one per line; false when it has none.
    bool RowFindings(int row, CString& text) const;
    // Checks the rows against the table as it is now.
    void CheckNetwork();
    std::unique_ptr<CNetworkCheck> m_pNetworkCheck;  // null when there is no table
    CRowTip m_rowTip;
    // The rows in list order; the list holds only their count.
    std::vector<AdapterRow> m_rows;
    // Saves both systems; false (after a notice naming what was not saved
    // and what was) when either did not reach every store.
    bool SaveBothSystems(const CString& host1, const CString& host2);
};

// The bold 10-point Arial font both dialogs use for emphasis.
void CreateEmphasisFont(CFont& font);
