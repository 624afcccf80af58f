// CStatusBarCtrl: a stateless wrapper of a status-bar control, one message per
// method, with one part across the whole bar.
#pragma once

#ifdef _WIN32

#include "framework/wnd.h"  // windows.h first

#include <commctrl.h>

class CStatusBarCtrl : public CWnd {
public:
    // A bar along the bottom of `parent`'s client area, in `parent`'s font so
    // that its height follows the dialog's (and so the display's) scaling.
    // Tips show a text that the bar cuts. False when it could not be made.
    bool Create(HWND parent, int id) {
        m_hWnd = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_TOOLTIPS,
                                   0, 0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR{id}),
                                   ::GetModuleHandleA(nullptr), nullptr);
        if (!m_hWnd)
            return false;
        int rightEdges[1] = {-1};
        SendMessage(SB_SETPARTS, 1, reinterpret_cast<LPARAM>(rightEdges));
        SendMessage(WM_SETFONT, ::SendMessageA(parent, WM_GETFONT, 0, 0), FALSE);
        // The bar takes its height from its font when it is told of a size.
        SendMessage(WM_SIZE);
        return true;
    }
    int GetHeight() const {
        RECT rect = {};
        ::GetWindowRect(m_hWnd, &rect);
        return rect.bottom - rect.top;
    }
    void SetText(LPCSTR text) const { SendMessage(SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text)); }
    void SetTipText(LPCSTR text) const {
        SendMessage(SB_SETTIPTEXTA, 0, reinterpret_cast<LPARAM>(text));
    }
    // Paints now and hands the drawing on to the screen: the text set before
    // a blocking exchange is seen during it. Wine shows what a thread drew
    // only once it looks at its queue, which a look at the queue's state
    // does without taking or dispatching anything.
    void UpdateWindow() const {
        ::UpdateWindow(m_hWnd);
        ::GdiFlush();
        ::GetQueueStatus(QS_PAINT);
    }
};

#endif  // _WIN32
