#include "ui/row_tip.h"

#include <commctrl.h>

namespace {

constexpr char kTipProperty[] = "Pellvane.RowTip";
// Wide enough for a finding on one line; several findings take a line each.
constexpr int kTipWidth = 480;

// The tool: the whole list, placed where the tip is told. The early size of
// the structure, which every version of the controls takes.
TOOLINFOA ListTool(HWND list) {
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = ::GetParent(list);
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = const_cast<LPSTR>("");
    return tool;
}

}  // namespace

CRowTip::~CRowTip() {
    Detach();
}

bool CRowTip::Attach(HWND list, TextOfRow textOf) {
    Detach();
    HWND tip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, ::GetParent(list),
                                 nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!tip)
        return false;
    TOOLINFOA tool = ListTool(list);
    if (!::SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) ||
        !::SetPropA(list, kTipProperty, this)) {
        ::DestroyWindow(tip);
        return false;
    }
    ::SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
    m_hList = list;
    m_hTip = tip;
    m_textOf = std::move(textOf);
    m_pfnListProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CRowTip::ListProc)));
    return true;
}

void CRowTip::Detach() {
    if (m_hList) {
        ::SetWindowLongPtrA(m_hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnListProc));
        ::RemovePropA(m_hList, kTipProperty);
    }
    if (m_hTip)
        ::DestroyWindow(m_hTip);
    m_hList = nullptr;
    m_hTip = nullptr;
    m_pfnListProc = nullptr;
    m_nRow = -1;
    m_bShown = false;
}

LRESULT CALLBACK CRowTip::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CRowTip*>(::GetPropA(list, kTipProperty));
    if (!self)
        return ::DefWindowProcA(list, message, wParam, lParam);
    WNDPROC original = self->m_pfnListProc;
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_MOUSEWHEEL:
        case WM_KEYDOWN:
        case WM_VSCROLL:
        case WM_HSCROLL:
        case WM_KILLFOCUS:
            // The row under the tip may move away from it.
            self->Hide();
            break;
        case WM_MOUSELEAVE:
            self->Hide();
            self->m_nRow = -1;
            break;
        case WM_NCDESTROY: {
            LRESULT result = ::CallWindowProcA(original, list, message, wParam, lParam);
            self->Detach();
            return result;
        }
        default:
            break;
    }
    LRESULT result = ::CallWindowProcA(original, list, message, wParam, lParam);
    if (message == WM_MOUSEMOVE)
        self->OnMouseMove(lParam);
    else if (message == WM_MOUSEHOVER)
        self->OnMouseHover(lParam);
    return result;
}

void CRowTip::OnMouseMove(LPARAM position) {
    int row = RowAt(position);
    if (row != m_nRow) {
        Hide();
        m_nRow = row;
    }
    // Asked again after every move: the list asks for hovers of its own,
    // and the latest request is the one that stands.
    if (!m_bShown && m_nRow >= 0)
        WatchForHover();
}

void CRowTip::WatchForHover() const {
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = m_hList;
    track.dwHoverTime = HOVER_DEFAULT;
    ::TrackMouseEvent(&track);
}

void CRowTip::OnMouseHover(LPARAM position) {
    int row = RowAt(position);
    CString text;
    if (m_bShown || row < 0 || row != m_nRow || !m_textOf || !m_textOf(row, text) || text.IsEmpty())
        return;
    TOOLINFOA tool = ListTool(m_hList);
    tool.lpszText = const_cast<LPSTR>(text.GetString());
    ::SendMessageA(m_hTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    // Below the mouse pointer, as a tip appears.
    POINT at;
    ::GetCursorPos(&at);
    ::SendMessageA(m_hTip, TTM_TRACKPOSITION, 0,
                   MAKELPARAM(at.x, at.y + ::GetSystemMetrics(SM_CYCURSOR) / 2));
    ::SendMessageA(m_hTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    m_bShown = true;
}

int CRowTip::RowAt(LPARAM position) const {
    LVHITTESTINFO hit = {};
    hit.pt.x = static_cast<short>(LOWORD(position));
    hit.pt.y = static_cast<short>(HIWORD(position));
    return static_cast<int>(
        ::CallWindowProcA(m_pfnListProc, m_hList, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

void CRowTip::Hide() {
    if (!m_bShown)
        return;
    TOOLINFOA tool = ListTool(m_hList);
    ::SendMessageA(m_hTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    m_bShown = false;
}
