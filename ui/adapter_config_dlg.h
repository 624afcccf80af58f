// CAdapterConfigDlg: the main configuration window. Lists the discovered
// adapters, lets the user assign them to HPLC systems 1 and 2, refresh, change
// an adapter's address, and save.
#pragma once

#include "framework/dialog.h"
#include "framework/font.h"
#include "framework/list_ctrl.h"
#include "framework/status_bar_ctrl.h"
#include "ui/adapter_list_view.h"
#include "ui/status_text.h"

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
    // Along the bottom: what the latest discovery found, or the selected
    // row's findings.
    CStatusBarCtrl m_statusBar;

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
    bool OnContextMenu(HWND window, LPARAM position);
    // The row menu with its top-left corner at `screenPoint`; its command
    // comes back to this window.
    void ShowListMenu(POINT screenPoint);
    // Puts the status bar along the bottom; the window grows by its height,
    // so that every other control keeps its place and size.
    void AddStatusBar();
    // The selected row's findings, else the summary.
    void ShowStatus();
    // Follows the system's high-contrast mode; with `coloursChanged` the
    // colours are set again even if the mode stayed.
    void ReadHighContrast(bool coloursChanged);
    // The list's rows and how they are shown.
    CAdapterListView m_view;
    // What the latest discovery found, for the status bar.
    StatusSummary m_status;
    bool m_bHighContrast = false;
    // Saves both systems; false (after a notice naming what was not saved
    // and what was) when either did not reach every store.
    bool SaveBothSystems(const CString& host1, const CString& host2);
};

// The bold 10-point Arial font both dialogs use for emphasis.
void CreateEmphasisFont(CFont& font);
