#include "ui/adapter_config_dlg.h"

#include <cstring>
#include <new>
#include <utility>

#include "app/adapter_config_app.h"
#include "app/save_report.h"
#include "framework/menu.h"
#include "framework/message_box.h"
#include "net/adapter_table.h"
#include "ui/about_dlg.h"
#include "ui/change_address_dlg.h"
#include "ui/resources/resource.h"

namespace {

constexpr COLORREF kListText = RGB(0, 0, 0);
constexpr COLORREF kListTextBackground = RGB(184, 176, 160);
constexpr COLORREF kListBackground = RGB(196, 196, 196);
constexpr COLORREF kLabelText = RGB(0, 0, 96);
constexpr COLORREF kHostText = RGB(0, 96, 0);
// A row whose adapter has a network finding: dark red, legible on the
// list's background.
constexpr COLORREF kFindingText = RGB(160, 0, 0);
// LVFI_SUBSTRING (newer than the headers here) asks for what LVFI_PARTIAL does.
constexpr UINT kFindSubstring = 0x0004;
constexpr DWORD kListExtendedStyles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_UNDERLINEHOT;

CAdapterConfigApp* App() {
    return static_cast<CAdapterConfigApp*>(AfxGetApp());
}

// The manifest declares the program DPI-aware, so the platform scales its
// dialog units and fonts but nothing it sizes in pixels: widths given for
// 96 DPI widen with the screen's DPI above that, or the texts would be cut.
int ScaledForScreen(int pixelsAt96) {
    HDC dc = ::GetDC(nullptr);
    int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc)
        ::ReleaseDC(nullptr, dc);
    return dpi > 96 ? ::MulDiv(pixelsAt96, dpi, 96) : pixelsAt96;
}

// The text a find request seeks, in the program's code page. False when a
// UTF-16 request holds a character the code page lacks: no row's text can
// hold it either, and a substitute character must not match by accident.
bool SoughtText(const NMHDR* header, CString& sought) {
    if (header->code == LVN_ODFINDITEMA) {
        LPCSTR text = reinterpret_cast<const NMLVFINDITEMA*>(header)->lvfi.psz;
        sought = text ? text : "";
        return true;
    }
    LPCWSTR wide = reinterpret_cast<const NMLVFINDITEMW*>(header)->lvfi.psz;
    if (!wide || !wide[0]) {
        sought.Empty();
        return true;
    }
    BOOL substituted = FALSE;
    int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr,
                                     &substituted);
    if (size <= 1 || substituted)
        return false;
    int written = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1,
                                        sought.GetBuffer(size - 1), size, nullptr, &substituted);
    sought.ReleaseBuffer(written > 0 ? written - 1 : 0);
    return written > 0 && !substituted;
}

}  // namespace

void CreateEmphasisFont(CFont& font) {
    CFont regular;
    regular.CreatePointFont(100, "Arial");
    LOGFONTA logFont;
    std::memset(&logFont, 0, sizeof(logFont));
    regular.GetLogFont(&logFont);
    logFont.lfWeight = FW_BOLD;
    font.CreateFontIndirect(&logFont);
}

CAdapterConfigDlg::CAdapterConfigDlg(CWnd* parent) : CDialog(IDD_ADAPTER_CONFIG, parent) {
    CreateEmphasisFont(m_font);
    if (CAdapterConfigApp* app = App()) {
        m_strInitialHost[1] = app->m_strHost[1];
        m_strInitialHost[2] = app->m_strHost[2];
    }
    m_hIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CAdapterConfigDlg::~CAdapterConfigDlg() = default;

void CAdapterConfigDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_ADAPTER_LIST, m_list);
}

BOOL CAdapterConfigDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    AddAboutToSystemMenu();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_list.InsertColumn(0, "IP Address", LVCFMT_CENTER, ScaledForScreen(120));
    m_list.InsertColumn(1, "MAC Address", LVCFMT_CENTER, ScaledForScreen(120));
    m_list.InsertColumn(2, "Status", LVCFMT_CENTER, ScaledForScreen(200));
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | kListExtendedStyles);
    m_list.SetTextColor(kListText);
    m_list.SetTextBkColor(kListTextBackground);
    m_list.SetBkColor(kListBackground);
    m_rowTip.Attach(m_list.m_hWnd,
                    [this](int row, CString& text) { return RowFindings(row, text); });

    for (int id : {IDC_LABEL_SYSTEM1, IDC_LABEL_SYSTEM2, IDC_HOST_SYSTEM1, IDC_HOST_SYSTEM2})
        GetDlgItem(id).SetFont(m_font, TRUE);
    // A longer host would be saved but read back empty at the next start.
    for (int id : {IDC_HOST_SYSTEM1, IDC_HOST_SYSTEM2})
        GetDlgItem(id).SendMessage(EM_LIMITTEXT, CAdapterConfigApp::kMaxHostLength);

    SetDlgItemText(IDC_HOST_SYSTEM1, m_strInitialHost[1]);
    CheckDlgButton(IDC_USE_SYSTEM1, m_strInitialHost[1].IsEmpty() ? BST_UNCHECKED : BST_CHECKED);
    SetDlgItemText(IDC_HOST_SYSTEM2, m_strInitialHost[2]);
    CheckDlgButton(IDC_USE_SYSTEM2, m_strInitialHost[2].IsEmpty() ? BST_UNCHECKED : BST_CHECKED);
    OnUseSystem1();
    OnUseSystem2();

    RefreshList();
    return TRUE;  // the platform focuses the first control in tab order: "Exit"
}

bool CAdapterConfigDlg::OnCommand(int id, int code) {
    switch (id) {
        case IDC_UPDATE:
            if (code == BN_CLICKED)
                OnUpdate();
            return true;
        case IDC_SET_IP_ADDRESS:
            if (code == BN_CLICKED)
                OnSetIpAddress();
            return true;
        case IDC_USE_SYSTEM1:
            if (code == BN_CLICKED)
                OnUseSystem1();
            return true;
        case IDC_USE_SYSTEM2:
            if (code == BN_CLICKED)
                OnUseSystem2();
            return true;
        case ID_FOR_SYSTEM1:
            CopySelectedAddress(1);
            return true;
        case ID_FOR_SYSTEM2:
            CopySelectedAddress(2);
            return true;
        case ID_FOR_BOTH:
            CopySelectedAddress(1);
            CopySelectedAddress(2);
            return true;
        default:
            return false;
    }
}

bool CAdapterConfigDlg::OnNotify(NMHDR* header, LRESULT& result) {
    if (!header || header->idFrom != IDC_ADAPTER_LIST)
        return false;
    switch (header->code) {
        case NM_CUSTOMDRAW:
            result = OnCustomDrawList(header);
            return true;
        case LVN_GETDISPINFOA:
        case LVN_GETDISPINFOW:
            result = OnGetDispInfoList(header);
            return true;
        case LVN_ITEMCHANGED:
            result = OnItemChangedList(header);
            return true;
        case NM_DBLCLK:
            result = OnDblClkList(header);
            return true;
        case NM_RCLICK:
            result = OnRClickList(header);
            return true;
        case LVN_ODFINDITEMA:
        case LVN_ODFINDITEMW:
            result = OnFindItemList(header);
            return true;
        default:
            return false;
    }
}

void CAdapterConfigDlg::OnUpdate() {
    HCURSOR previous = BeginWaitCursor();
    RefreshList();
    EndWaitCursor(previous);
}

void CAdapterConfigDlg::OnSetIpAddress() {
    OpenChangeAddressDialog(m_nSelectedRow);
}

void CAdapterConfigDlg::OpenChangeAddressDialog(int row) {
    const AdapterRow* data = RowData(row);
    if (!data)
        return;
    SelectedAdapter adapter{row, data->m_nTableIndex, CString(), CString()};
    data->GetText(0, adapter.m_strIpAddress);
    data->GetText(1, adapter.m_strMacAddress);
    CChangeAddressDlg dialog(nullptr, adapter);
    dialog.DoModal();
    // A change the adapter confirmed reaches the row however the dialog
    // ended; moving the text in needs no memory. The row's MAC and status
    // stay as the last discovery reported them.
    if (dialog.m_bChanged != 1 || row >= static_cast<int>(m_rows.size()))
        return;
    m_rows[row].m_strChangedIp = std::move(dialog.m_strIpAddress);
    // The new address may end a finding of another row, or make one.
    CheckNetwork();
    m_list.RedrawItems(0, static_cast<int>(m_rows.size()) - 1);
}

void CAdapterConfigDlg::OnUseSystem1() {
    GetDlgItem(IDC_HOST_SYSTEM1).EnableWindow(IsDlgButtonChecked(IDC_USE_SYSTEM1) == BST_CHECKED);
}

void CAdapterConfigDlg::OnUseSystem2() {
    GetDlgItem(IDC_HOST_SYSTEM2).EnableWindow(IsDlgButtonChecked(IDC_USE_SYSTEM2) == BST_CHECKED);
}

void CAdapterConfigDlg::RefreshList() {
    ClearList();
    CAdapterConfigApp* app = App();
    CAdapterTable* table = app ? app->m_pAdapterTable : nullptr;
    if (!table)
        return;

    table->Refresh();
    // The list holds nothing per row (owner data): it asks for each cell as
    // it draws, so tens of thousands of adapters cost it no memory and no
    // time, and the rows here are what is left, one allocation for all.
    bool outOfMemory = false;
    try {
        m_rows.reserve(static_cast<size_t>(table->GetCount()));
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    }
    // One walk by position: looking each row up by index from the head
    // would cost the square of the table. It stops at the reserved count, so
    // that no row can need memory of its own.
    POSITION pos = outOfMemory ? nullptr : table->GetHeadPosition();
    for (int i = 0; pos && m_rows.size() < m_rows.capacity(); ++i) {
        if (const auto* record = static_cast<const AdapterRecord*>(table->GetNext(pos)))
            m_rows.push_back(AdapterRow{record, i, CString()});
    }
    CheckNetwork();
    m_list.SetItemCount(static_cast<int>(m_rows.size()));
    m_list.SetFocus();
    if (outOfMemory)
        AfxMessageBox("There was not enough memory to list the adapters.");
}

void CAdapterConfigDlg::ClearList() {
    FreeRowData();
}

void CAdapterConfigDlg::FreeRowData() {
    // The list first, so that it never asks for a row that has gone.
    m_list.DeleteAllItems();
    std::vector<AdapterRow>().swap(m_rows);
    m_pNetworkCheck.reset();
}

void CAdapterConfigDlg::CheckNetwork() {
    CAdapterConfigApp* app = App();
    CAdapterTable* table = app ? app->m_pAdapterTable : nullptr;
    // Without memory for it the rows are drawn as they always were.
    m_pNetworkCheck.reset(table ? new (std::nothrow) CNetworkCheck(*table) : nullptr);
}

bool CAdapterConfigDlg::RowFindings(int row, CString& text) const {
    const AdapterRow* data = RowData(row);
    if (!data || !m_pNetworkCheck)
        return false;
    try {
        AdapterFindings findings = m_pNetworkCheck->Check(data->m_nTableIndex);
        if (!findings.Any())
            return false;
        text = m_pNetworkCheck->DescribeAll(findings, "\n");
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

LRESULT CAdapterConfigDlg::OnCustomDrawList(NMHDR* header) {
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            const AdapterRow* data = RowData(static_cast<int>(draw->nmcd.dwItemSpec));
            if (!data || !m_pNetworkCheck || !m_pNetworkCheck->Check(data->m_nTableIndex).Any())
                return CDRF_DODEFAULT;
            draw->clrText = kFindingText;
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

const AdapterRow* CAdapterConfigDlg::RowData(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return nullptr;
    return &m_rows[row];
}

void CAdapterConfigDlg::CopySelectedAddress(int systemNumber) {
    int target = systemNumber == 1 ? IDC_HOST_SYSTEM1 : IDC_HOST_SYSTEM2;
    CString ip;
    if (const AdapterRow* row = RowData(m_nSelectedRow); row && row->GetText(0, ip))
        SetDlgItemText(target, ip);
}

LRESULT CAdapterConfigDlg::OnGetDispInfoList(NMHDR* header) {
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    LVITEMA& item = info->item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0)
        return 0;
    item.pszText[0] = '\0';
    if (header->code == LVN_GETDISPINFOW)
        reinterpret_cast<LPWSTR>(item.pszText)[0] = L'\0';
    const AdapterRow* row = RowData(item.iItem);
    CString text;
    try {
        if (!row || !row->GetText(item.iSubItem, text))
            return 0;
    } catch (const std::bad_alloc&) {
        return 0;  // the cell stays empty; it is asked for again at the next paint
    }
    if (header->code == LVN_GETDISPINFOW) {
        // A list that asks in UTF-16 gets the same text, converted.
        auto* wide = reinterpret_cast<LPWSTR>(item.pszText);
        if (!::MultiByteToWideChar(CP_ACP, 0, text, -1, wide, item.cchTextMax))
            wide[item.cchTextMax - 1] = L'\0';
    } else {
        ::lstrcpynA(item.pszText, text, item.cchTextMax);
    }
    return 0;
}

// The list asks its owner to find a row, above all for the characters typed
// into it, and selects the row answered; this searches as a list with items
// of its own does. An unanswered request reads as row 0, which would move the
// selection and the tracked row there on any key; -1 (no match) moves
// nothing. The list's key search asks for a prefix from the row after the
// focused one (from the focused one for a longer text), wrapping around.
LRESULT CAdapterConfigDlg::OnFindItemList(NMHDR* header) {
    const auto* find = reinterpret_cast<const NMLVFINDITEMA*>(header);
    const UINT flags = find->lvfi.flags;
    // Wine's key search sends LVFI_PARTIAL without LVFI_STRING. The rows have
    // no item data or positions of their own to be found by.
    const bool prefix = (flags & (LVFI_PARTIAL | kFindSubstring)) != 0;
    if (!prefix && !(flags & LVFI_STRING))
        return -1;
    const int count = static_cast<int>(m_rows.size());
    const int start = find->iStart >= 0 && find->iStart < count ? find->iStart : 0;
    const int searched = (flags & LVFI_WRAP) ? count : count - start;
    try {
        CString sought;
        if (!SoughtText(header, sought))
            return -1;
        for (int i = 0; i < searched; ++i) {
            int row = (start + i) % count;
            if (m_rows[row].IpTextMatches(sought, prefix))
                return row;
        }
    } catch (const std::bad_alloc&) {
        // Found nothing: the selection stays where the user put it.
    }
    return -1;
}

LRESULT CAdapterConfigDlg::OnItemChangedList(NMHDR* header) {
    // An owner-data list reports a change to every row at once (deselecting
    // all, emptying) as item -1; such a change tracks no row and keeps the
    // tracked one, as a list with items of its own never reports it.
    int item = reinterpret_cast<NMLISTVIEW*>(header)->iItem;
    if (item >= 0)
        m_nSelectedRow = item;
    return 0;
}

LRESULT CAdapterConfigDlg::OnDblClkList(NMHDR* header) {
    m_nSelectedRow = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
    return 0;
}

LRESULT CAdapterConfigDlg::OnRClickList(NMHDR* header) {
    POINT point = reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction;
    m_list.ClientToScreen(&point);
    ShowListMenu(point);
    return 0;
}

// The context-menu key or Shift+F10 on the list arrive with the position
// -1, -1: the row menu opens below the focused row, which becomes the tracked
// row as a right click's row does. With no focused row nothing opens. A right
// click has already opened its menu through NM_RCLICK; the message that
// follows it carries the click's position and is left alone.
bool CAdapterConfigDlg::OnContextMenu(HWND window, LPARAM position) {
    bool fromKeyboard =
        static_cast<short>(LOWORD(position)) == -1 && static_cast<short>(HIWORD(position)) == -1;
    if (window != m_list.m_hWnd || !fromKeyboard)
        return false;
    int row = m_list.GetNextItem(-1, LVNI_FOCUSED);
    if (row < 0)
        return true;
    m_nSelectedRow = row;
    m_list.EnsureVisible(row, FALSE);
    RECT rect = {};
    RECT client = {};
    m_list.GetItemRect(row, &rect, LVIR_BOUNDS);
    m_list.GetClientRect(&client);
    POINT point = {rect.left > client.left ? rect.left : client.left, rect.bottom};
    m_list.ClientToScreen(&point);
    ShowListMenu(point);
    return true;
}

void CAdapterConfigDlg::ShowListMenu(POINT screenPoint) {
    CMenu menu;
    if (menu.LoadMenu(IDR_LIST_MENU)) {
        if (HMENU popup = menu.GetSubMenu(0))
            ::TrackPopupMenu(popup, 0, screenPoint.x, screenPoint.y, 0, m_hWnd, nullptr);
        menu.DestroyMenu();
    }
}

void CAdapterConfigDlg::OnOK() {
    CString host1, host2;
    try {
        GetDlgItem(IDC_HOST_SYSTEM1).GetWindowText(host1);
        GetDlgItem(IDC_HOST_SYSTEM2).GetWindowText(host2);
    } catch (const std::bad_alloc&) {
        AfxMessageBox("The configuration was not saved: there was not enough memory.");
        return;
    }
    if (IsDlgButtonChecked(IDC_USE_SYSTEM1) == BST_CHECKED && host1.IsEmpty()) {
        AfxMessageBox("Please specify the IP address for system #1 !");
        return;
    }
    if (IsDlgButtonChecked(IDC_USE_SYSTEM2) == BST_CHECKED && host2.IsEmpty()) {
        AfxMessageBox("Please specify the IP address for system #2 !");
        return;
    }
    if (AfxQuestionBox("Are you sure you want to save the current configuration ?") == IDYES) {
        if (IsDlgButtonChecked(IDC_USE_SYSTEM1) != BST_CHECKED)
            host1.Empty();
        if (IsDlgButtonChecked(IDC_USE_SYSTEM2) != BST_CHECKED)
            host2.Empty();
        // A save that did not reach both stores keeps the window open.
        if (!SaveBothSystems(host1, host2))
            return;
    }
    CDialog::OnOK();
}

HBRUSH CAdapterConfigDlg::OnCtlColor(HDC dc, HWND control, UINT kind) {
    HBRUSH brush = CDialog::OnCtlColor(dc, control, kind);
    int id = ::GetDlgCtrlID(control);
    if (kind == CTLCOLOR_STATIC && (id == IDC_LABEL_SYSTEM1 || id == IDC_LABEL_SYSTEM2))
        ::SetTextColor(dc, kLabelText);
    else if (kind == CTLCOLOR_EDIT && (id == IDC_HOST_SYSTEM1 || id == IDC_HOST_SYSTEM2))
        ::SetTextColor(dc, kHostText);
    return brush;
}

bool CAdapterConfigDlg::SaveBothSystems(const CString& host1, const CString& host2) {
    CAdapterConfigApp* app = App();
    if (!app)
        return false;
    const CString* hosts[3] = {nullptr, &host1, &host2};
    SaveOutcome outcome[3] = {};
    switch (SaveSystemsGuarded(*app, hosts, outcome)) {
        case SaveResult::kSaved:
            return true;
        case SaveResult::kNeedsAdministrator:
            AfxMessageBox(kSaveNeedsAdministratorNotice);
            return false;
        case SaveResult::kIncomplete:
            break;
    }
    char text[2048];  // no heap: it may be what failed
    ComposeIncompleteSaveNotice(outcome, app->m_strDriverIni.GetString(), text, sizeof(text));
    AfxMessageBox(text);
    return false;
}

void CAdapterConfigDlg::AddAboutToSystemMenu() {
    HMENU systemMenu = GetSystemMenu(FALSE);
    if (!systemMenu)
        return;
    char text[256] = {};
    if (::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof(text)) <= 0)
        return;
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

bool CAdapterConfigDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_SYSCOMMAND:
            return OnSysCommand(static_cast<UINT>(wParam), lParam);
        case WM_PAINT:
            return OnPaint();
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
            return true;
        case WM_CONTEXTMENU:
            return OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
        default:
            return false;
    }
}

bool CAdapterConfigDlg::OnSysCommand(UINT id, LPARAM) {
    // The About entry and every command that shares its upper bits; the
    // platform's own commands go to the default processing.
    if ((id & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    CAboutDlg about;
    about.DoModal();
    return true;
}

bool CAdapterConfigDlg::OnPaint() {
    if (!IsIconic())
        return false;  // the platform paints the dialog
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int iconWidth = ::GetSystemMetrics(SM_CXICON);
    int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    int x = (client.right - client.left - iconWidth + 1) / 2;
    int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return true;
}

HICON CAdapterConfigDlg::OnQueryDragIcon() const {
    return m_hIcon;
}

void CAdapterConfigDlg::OnDestroy() {
    m_rowTip.Detach();
    // Before the list goes, so that it asks for no row that has gone.
    FreeRowData();
    CDialog::OnDestroy();
}
