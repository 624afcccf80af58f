#include "ui/adapter_list_view.h"

#include <new>

#include "net/adapter_table.h"
#include "ui/status_text.h"

namespace {

// LVFI_SUBSTRING (newer than the headers here) asks for what LVFI_PARTIAL does.
constexpr UINT kFindSubstring = 0x0004;
constexpr DWORD kListExtendedStyles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_UNDERLINEHOT;
constexpr int kMarkImage = 0;

// The manifest declares the program DPI-aware, so the platform scales its
// dialog units and fonts but nothing it sizes in pixels: widths given for
// 96 DPI widen with the screen's DPI above that, or the texts would be cut.
int ScreenDpi() {
    HDC dc = ::GetDC(nullptr);
    int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc)
        ::ReleaseDC(nullptr, dc);
    return dpi;
}

int ScaledForScreen(int pixelsAt96) {
    int dpi = ScreenDpi();
    return dpi > 96 ? ::MulDiv(pixelsAt96, dpi, 96) : pixelsAt96;
}

// The small-icon size for `window`'s DPI. The per-DPI functions are newer
// than some systems the program runs on, so they are looked up.
int SmallIconSize(HWND window) {
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    using DpiForWindow = UINT(WINAPI*)(HWND);
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "GetDpiForWindow")));
    auto metricsForDpi = reinterpret_cast<MetricsForDpi>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "GetSystemMetricsForDpi")));
    if (dpiForWindow && metricsForDpi) {
        if (UINT dpi = dpiForWindow(window))
            return metricsForDpi(SM_CXSMICON, dpi);
    }
    return ::GetSystemMetrics(SM_CXSMICON);  // for the system's DPI
}

// The system's warning icon drawn for `size` pixels; the caller destroys it.
HICON LoadWarningIcon(int size) {
    using ScaleDown = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    auto scaleDown = reinterpret_cast<ScaleDown>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("comctl32.dll"), "LoadIconWithScaleDown")));
    HICON icon = nullptr;
    if (scaleDown &&
        SUCCEEDED(scaleDown(nullptr, MAKEINTRESOURCEW(32515) /* IDI_WARNING */, size, size, &icon)))
        return icon;
    return static_cast<HICON>(::LoadImageA(nullptr, IDI_WARNING, IMAGE_ICON, size, size, 0));
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

CAdapterListView::~CAdapterListView() {
    Detach();
}

void CAdapterListView::Attach(HWND list, bool highContrast) {
    m_list.Attach(list);
    m_bHighContrast = highContrast;
    m_list.InsertColumn(0, "IP Address", LVCFMT_CENTER, ScaledForScreen(120));
    m_list.InsertColumn(1, "MAC Address", LVCFMT_CENTER, ScaledForScreen(120));
    m_list.InsertColumn(2, "Status", LVCFMT_CENTER, ScaledForScreen(200));
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | kListExtendedStyles);
    ApplyColours();
    CreateMark();
    m_rowTip.Attach(list, [this](int row, CString& text) { return RowFindings(row, text); });
}

void CAdapterListView::Detach() {
    if (!m_list.m_hWnd)
        return;
    m_rowTip.Detach();
    // The list first, so that it never asks for a row that has gone.
    Clear();
    if (m_hMarks) {
        ListView_SetImageList(m_list.m_hWnd, nullptr, LVSIL_SMALL);
        ImageList_Destroy(m_hMarks);
        m_hMarks = nullptr;
    }
    m_list.Attach(nullptr);
}

void CAdapterListView::CreateMark() {
    const int size = SmallIconSize(m_list.m_hWnd);
    // Without the mark the rows still show their findings in colour, tip and
    // status text.
    HICON icon = LoadWarningIcon(size);
    if (!icon)
        return;
    m_hMarks = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 0);
    if (m_hMarks && ImageList_AddIcon(m_hMarks, icon) == kMarkImage) {
        ListView_SetImageList(m_list.m_hWnd, m_hMarks, LVSIL_SMALL);
    } else if (m_hMarks) {
        ImageList_Destroy(m_hMarks);
        m_hMarks = nullptr;
    }
    ::DestroyIcon(icon);
}

void CAdapterListView::SetHighContrast(bool on) {
    m_bHighContrast = on;
    ApplyColours();
    ::InvalidateRect(m_list.m_hWnd, nullptr, TRUE);
}

void CAdapterListView::ApplyColours() const {
    if (m_bHighContrast) {
        m_list.SetTextColor(CLR_DEFAULT);
        m_list.SetTextBkColor(CLR_DEFAULT);
        m_list.SetBkColor(::GetSysColor(COLOR_WINDOW));
        return;
    }
    m_list.SetTextColor(kListText);
    m_list.SetTextBkColor(kListTextBackground);
    m_list.SetBkColor(kListBackground);
}

bool CAdapterListView::Rebuild(const CAdapterTable& table) {
    Clear();
    m_pTable = &table;
    // The list holds nothing per row (owner data): it asks for each cell as
    // it draws, so tens of thousands of adapters cost it no memory and no
    // time, and the rows here are what is left, one allocation for all.
    bool outOfMemory = false;
    try {
        m_rows.reserve(static_cast<size_t>(table.GetCount()));
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    }
    // One walk by position: looking each row up by index from the head
    // would cost the square of the table. It stops at the reserved count, so
    // that no row can need memory of its own.
    POSITION pos = outOfMemory ? nullptr : table.GetHeadPosition();
    for (int i = 0; pos && m_rows.size() < m_rows.capacity(); ++i) {
        if (const auto* record = static_cast<const AdapterRecord*>(table.GetNext(pos)))
            m_rows.push_back(AdapterRow{record, i, CString()});
    }
    // Without memory for the check the rows are drawn as they always were.
    m_pNetworkCheck.reset(new (std::nothrow) CNetworkCheck(table));
    m_list.SetItemCount(static_cast<int>(m_rows.size()));
    return !outOfMemory;
}

void CAdapterListView::Clear() {
    m_list.DeleteAllItems();
    std::vector<AdapterRow>().swap(m_rows);
    m_pNetworkCheck.reset();
}

void CAdapterListView::ShowChangedAddress(int row, CString&& ip) {
    if (row < 0 || row >= GetRowCount())
        return;
    m_rows[static_cast<size_t>(row)].m_strChangedIp = std::move(ip);
    if (m_pTable)
        m_pNetworkCheck.reset(new (std::nothrow) CNetworkCheck(*m_pTable));
    m_list.RedrawItems(0, GetRowCount() - 1);
}

const AdapterRow* CAdapterListView::Row(int row) const {
    if (row < 0 || row >= GetRowCount())
        return nullptr;
    return &m_rows[static_cast<size_t>(row)];
}

int CAdapterListView::SelectedRow() const {
    int focused = m_list.GetNextItem(-1, LVNI_FOCUSED);
    if (focused >= 0 &&
        (m_list.SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(focused), LVIS_SELECTED) &
         LVIS_SELECTED))
        return focused;
    return m_list.GetNextItem(-1, LVNI_SELECTED);
}

bool CAdapterListView::HasFindings(int row) const {
    const AdapterRow* data = Row(row);
    return data && m_pNetworkCheck && m_pNetworkCheck->Check(data->m_nTableIndex).Any();
}

int CAdapterListView::CountRowsWithFindings() const {
    int count = 0;
    for (int row = 0; row < GetRowCount(); ++row) {
        if (HasFindings(row))
            ++count;
    }
    return count;
}

bool CAdapterListView::Findings(int row, LPCSTR separator, CString& text) const {
    const AdapterRow* data = Row(row);
    if (!data || !m_pNetworkCheck)
        return false;
    try {
        AdapterFindings findings = m_pNetworkCheck->Check(data->m_nTableIndex);
        if (!findings.Any())
            return false;
        text = m_pNetworkCheck->DescribeAll(findings, separator);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CAdapterListView::RowFindings(int row, CString& text) const {
    return Findings(row, "\n", text);
}

bool CAdapterListView::RowStatusText(int row, CString& text) const {
    CString findings, ip;
    if (!Findings(row, "; ", findings) || !Row(row)->GetText(0, ip))
        return false;
    text = ComposeRowStatusText(ip, findings);
    return true;
}

LRESULT CAdapterListView::OnCustomDraw(NMHDR* header) const {
    // High contrast: the system draws every row in its own colours.
    if (m_bHighContrast)
        return CDRF_DODEFAULT;
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            if (!HasFindings(static_cast<int>(draw->nmcd.dwItemSpec)))
                return CDRF_DODEFAULT;
            draw->clrText = kFindingText;
            return CDRF_NEWFONT;
        default:
            return CDRF_DODEFAULT;
    }
}

LRESULT CAdapterListView::OnGetDispInfo(NMHDR* header) const {
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    LVITEMA& item = info->item;
    // The mark beside the address; the address text itself stays as it is,
    // so that typing it still finds the row.
    if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0)
        item.iImage = m_hMarks && HasFindings(item.iItem) ? kMarkImage : I_IMAGENONE;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0)
        return 0;
    item.pszText[0] = '\0';
    if (header->code == LVN_GETDISPINFOW)
        reinterpret_cast<LPWSTR>(item.pszText)[0] = L'\0';
    const AdapterRow* row = Row(item.iItem);
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
LRESULT CAdapterListView::OnFindItem(NMHDR* header) const {
    const auto* find = reinterpret_cast<const NMLVFINDITEMA*>(header);
    const UINT flags = find->lvfi.flags;
    // Wine's key search sends LVFI_PARTIAL without LVFI_STRING. The rows have
    // no item data or positions of their own to be found by.
    const bool prefix = (flags & (LVFI_PARTIAL | kFindSubstring)) != 0;
    if (!prefix && !(flags & LVFI_STRING))
        return -1;
    const int count = GetRowCount();
    const int start = find->iStart >= 0 && find->iStart < count ? find->iStart : 0;
    const int searched = (flags & LVFI_WRAP) ? count : count - start;
    try {
        CString sought;
        if (!SoughtText(header, sought))
            return -1;
        for (int i = 0; i < searched; ++i) {
            int row = (start + i) % count;
            if (m_rows[static_cast<size_t>(row)].IpTextMatches(sought, prefix))
                return row;
        }
    } catch (const std::bad_alloc&) {
        // Found nothing: the selection stays where the user put it.
    }
    return -1;
}
