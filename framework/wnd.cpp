#include "framework/wnd.h"

#include "framework/font.h"

void CWnd::GetWindowText(CString& text) const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0) {
        text.Empty();
        return;
    }
    int copied = ::GetWindowTextA(m_hWnd, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
}

void CWnd::SetFont(const CFont& font, BOOL redraw) const {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font.GetSafeHandle()), redraw);
}
