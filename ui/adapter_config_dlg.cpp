#include "ui/adapter_config_dlg.h"

#include <cstring>
#include <new>
#include <utility>

#include "app/adapter_config_app.h"
#include "app/recorded_save.h"
#include "framework/menu.h"
#include "framework/message_box.h"
#include "framework/text_encoding.h"
#include "net/adapter_table.h"
#include "record/change_recorder.h"
#include "ui/about_dlg.h"
#include "ui/change_address_dlg.h"
#include "ui/high_contrast.h"
#include "ui/resources/resource.h"
#include "ui/search_reach.h"

namespace {

constexpr COLORREF kLabelText = RGB(0, 0, 96);
constexpr COLORREF kHostText = RGB(0, 96, 0);

CAdapterConfigApp* App() {
    return static_cast<CAdapterConfigApp*>(AfxGetApp());
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

    m_bHighContrast = IsHighContrastOn();
    m_view.Attach(m_list.m_hWnd, m_bHighContrast);
    AddStatusBar();

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
            result = m_view.OnCustomDraw(header);
            return true;
        case LVN_GETDISPINFOA:
        case LVN_GETDISPINFOW:
            result = OnGetDispInfoList(header);
            return true;
        case LVN_ITEMCHANGED:
            result = OnItemChangedList(header);
            return true;
        case LVN_ODSTATECHANGED:
            // A range of rows selected at once (Shift with a click or a key).
            ShowStatus();
            result = 0;
            return true;
        case NM_DBLCLK:
            result = OnDblClkList(header);
            return true;
        case NM_RCLICK:
            result = OnRClickList(header);
            return true;
        case LVN_ODFINDITEMA:
        case LVN_ODFINDITEMW:
            result = m_view.OnFindItem(header);
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
    const AdapterRow* data = m_view.Row(row);
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
    if (dialog.m_bChanged != 1)
        return;
    // The new address may end a finding of another row, or make one.
    m_view.ShowChangedAddress(row, std::move(dialog.m_strIpAddress));
    m_status.withFindings = m_view.CountRowsWithFindings();
    ShowStatus();
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
    m_status = StatusSummary{};
    if (!table) {
        m_status.state = StatusSummary::State::kNoUsableCard;
        ShowStatus();
        return;
    }

    ShowStatus();
    // Drawn now: the exchange blocks the window.
    m_statusBar.UpdateWindow();
    table->Refresh();
    m_status.answeredNow = table->GetAnsweredCount();
    const bool complete = m_view.Rebuild(*table);

    // The channel has read the cards again for the discovery.
    SearchReach reach = ReadSearchReach();
    m_status.state =
        reach.usable ? StatusSummary::State::kSearched : StatusSummary::State::kNoUsableCard;
    m_status.cards = std::move(reach.cards);
    m_status.reason = std::move(reach.reason);
    m_status.listed = m_view.GetRowCount();
    m_status.withFindings = m_view.CountRowsWithFindings();
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    m_status.hour = now.wHour;
    m_status.minute = now.wMinute;
    m_status.second = now.wSecond;
    ShowStatus();

    m_list.SetFocus();
    if (!complete)
        AfxMessageBox("There was not enough memory to list the adapters.");
}

void CAdapterConfigDlg::ClearList() {
    FreeRowData();
}

void CAdapterConfigDlg::FreeRowData() {
    m_view.Clear();
}

void CAdapterConfigDlg::ShowStatus() {
    if (!m_statusBar.m_hWnd)
        return;
    CString text;
    try {
        const int row = m_view.SelectedRow();
        if (row < 0 || !m_view.RowStatusText(row, text))
            text = ComposeStatusText(m_status);
    } catch (const std::bad_alloc&) {
        return;  // the bar keeps its last text; the next change tries again
    }
    m_statusBar.SetText(text);
    // Shown on the mouse where the bar cuts the text.
    m_statusBar.SetTipText(text);
}

void CAdapterConfigDlg::AddStatusBar() {
    if (!m_statusBar.Create(m_hWnd, IDC_STATUS_BAR))
        return;  // the window works as before, without it
    RECT window = {};
    ::GetWindowRect(m_hWnd, &window);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left,
                   window.bottom - window.top + m_statusBar.GetHeight(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CAdapterConfigDlg::ReadHighContrast(bool coloursChanged) {
    const bool on = IsHighContrastOn();
    if (on == m_bHighContrast && !coloursChanged)
        return;
    m_bHighContrast = on;
    m_view.SetHighContrast(on);
    // The labels and fields ask for their colours again.
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CAdapterConfigDlg::CopySelectedAddress(int systemNumber) {
    int target = systemNumber == 1 ? IDC_HOST_SYSTEM1 : IDC_HOST_SYSTEM2;
    CString ip;
    if (const AdapterRow* row = m_view.Row(m_nSelectedRow); row && row->GetText(0, ip))
        SetDlgItemText(target, ip);
}

LRESULT CAdapterConfigDlg::OnGetDispInfoList(NMHDR* header) {
    return m_view.OnGetDispInfo(header);
}

LRESULT CAdapterConfigDlg::OnItemChangedList(NMHDR* header) {
    // An owner-data list reports a change to every row at once (deselecting
    // all, emptying) as item -1; such a change tracks no row and keeps the
    // tracked one, as a list with items of its own never reports it.
    const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if (change->iItem >= 0)
        m_nSelectedRow = change->iItem;
    // Selected or focused by the mouse or a key: the bar follows the row.
    if ((change->uChanged & LVIF_STATE) &&
        ((change->uOldState ^ change->uNewState) & (LVIS_SELECTED | LVIS_FOCUSED)))
        ShowStatus();
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
    if (m_bHighContrast)
        return brush;  // the system's colours, as every other control's
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
    CChangeRecorder recorder("Pellvane");
    const RecordedSave save = SaveSystemsRecorded(*app, hosts, recorder);
    switch (save.result) {
        case SaveResult::kSaved:
            break;
        case SaveResult::kNeedsAdministrator:
            AfxMessageBox(kSaveNeedsAdministratorNotice);
            return false;
        case SaveResult::kNotRecordable:
            AfxMessageBox(
                ("The configuration was not saved: " + Utf8ToAnsi(save.problem) + ".").c_str());
            return false;
        case SaveResult::kIncomplete: {
            char text[2048];  // no heap: it may be what failed
            ComposeIncompleteSaveNotice(save.outcome, app->m_strDriverIni.GetString(), text,
                                        sizeof(text));
            AfxMessageBox(text);
            break;
        }
    }
    // What was saved stays saved: the window closes after a complete save
    // even when its record failed, and says so first.
    if (save.bRecordFailed)
        AfxMessageBox(("The configuration was saved, but " + Utf8ToAnsi(save.problem) +
                       ".\n\nNote the change by hand.")
                          .c_str());
    return save.result == SaveResult::kSaved;
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
        case WM_SIZE:
            // The bar keeps to the bottom edge.
            m_statusBar.SendMessage(WM_SIZE, wParam, lParam);
            return false;
        case WM_SYSCOLORCHANGE:
            // Common controls learn of new system colours from their parent.
            m_list.SendMessage(message, wParam, lParam);
            m_statusBar.SendMessage(message, wParam, lParam);
            ReadHighContrast(true);
            return false;
        case WM_SETTINGCHANGE:
            ReadHighContrast(false);
            return false;
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
    // Before the list goes, so that it asks for no row that has gone.
    m_view.Detach();
    CDialog::OnDestroy();
}
