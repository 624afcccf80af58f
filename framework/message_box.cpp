#include "framework/message_box.h"

#include "framework/winapp.h"
#include "framework/wnd.h"

namespace {
HWND MessageBoxOwner() {
    // The active window of this thread (a dialog above the main window), else the main window.
    HWND active = ::GetActiveWindow();
    if (active)
        return active;
    CWinApp* app = AfxGetApp();
    return app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
}
}  // namespace

int AfxMessageBox(LPCSTR text, UINT type) {
    CWinApp* app = AfxGetApp();
    LPCSTR caption = app ? app->m_strAppName.GetString() : "";
    return ::MessageBoxA(MessageBoxOwner(), text, caption, type);
}

int AfxQuestionBox(LPCSTR text) {
    return AfxMessageBox(text, MB_YESNO | MB_ICONQUESTION);
}

HCURSOR BeginWaitCursor() {
    return ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}

void EndWaitCursor(HCURSOR previous) {
    if (previous)
        ::SetCursor(previous);
}
