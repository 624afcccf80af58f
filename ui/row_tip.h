// CRowTip: a tip over a list view that shows the text of the row the mouse
// rests on. The list's own info tips are not drawn on every platform the
// program runs on, so this is a tracking tooltip of its own: the list's mouse
// messages pass by it, and it asks for the row's text each time it shows.
#pragma once

#ifdef _WIN32

#include <functional>

#include "framework/cstring.h"
#include "framework/afx_types.h"

class CRowTip {
public:
    // The text for `row`; false (or an empty text) when the row has none.
    using TextOfRow = std::function<bool(int row, CString& text)>;

    CRowTip() = default;
    ~CRowTip();
    CRowTip(const CRowTip&) = delete;
    CRowTip& operator=(const CRowTip&) = delete;

    // Creates the tip, owned by the list's parent, and starts watching the
    // list's mouse. False when the tip could not be made; the list then
    // works as before, without tips.
    bool Attach(HWND list, TextOfRow textOf);
    // Stops watching and destroys the tip; before the list is destroyed.
    void Detach();

    HWND GetTipWindow() const { return m_hTip; }

private:
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    void OnMouseMove(LPARAM position);
    void OnMouseHover(LPARAM position);
    void WatchForHover() const;
    int RowAt(LPARAM position) const;
    void Hide();

    HWND m_hList = nullptr;
    HWND m_hTip = nullptr;
    WNDPROC m_pfnListProc = nullptr;
    TextOfRow m_textOf;
    int m_nRow = -1;  // the row the mouse is over, -1 for none
    bool m_bShown = false;
};

#endif  // _WIN32
