// A thin driver that operates Pellvane's windows the way a user does: real
// mouse input (SendInput) at the centre of a control or a list row, keys, the
// popup menu and message boxes. Every wait is bounded and polls for a state;
// nothing sleeps for a fixed time to synchronise.
//
// Windows of another process can be found, read and clicked, and their
// lists measured; list-row rectangles and the settling of input need the
// window in this process.
#pragma once

// The program's headers need winsock2.h ahead of windows.h.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// The UI tests need a display (Xvfb under Wine); without one they skip.
#define REQUIRE_DISPLAY()                                                               \
    do {                                                                                \
        if (!::GetEnvironmentVariableA("DISPLAY", nullptr, 0))                          \
            GTEST_SKIP() << "UI test skipped: DISPLAY is not set (run it with "         \
                            "PELLVANE_XVFB=1 scripts/netns-run.sh, which starts Xvfb)"; \
    } while (0)

namespace ui {

constexpr DWORD kWaitMs = 15000;  // long enough for Wine on a busy machine

// Polls `done` every few milliseconds until it holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs);

// --- windows -----------------------------------------------------------------

// A visible top-level window with exactly this title, of process `processId`
// (0: any process); null if none.
HWND FindTopWindow(const char* title, DWORD processId = 0);
HWND WaitForTopWindow(const char* title, DWORD processId = 0, DWORD timeoutMs = kWaitMs);
// True once `window` no longer exists.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kWaitMs);
// The visible top-level windows of one thread.
std::vector<HWND> ThreadWindows(DWORD threadId);
// Ends what a test left open on a UI thread, innermost first: menus by Esc,
// questions by No, notices and dialogs by their cancel command. False (with
// a failure naming them) if windows were still open after that.
bool CloseThreadWindows(DWORD threadId);

std::string GetText(HWND window);
std::string GetItemText(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
// The control with the keyboard focus in the thread that owns `window`.
HWND FocusedWindow(HWND window);
// Sets a field's text as if the user had typed it.
void SetFieldText(HWND dialog, int id, const char* text);

// --- mouse and keyboard --------------------------------------------------------

enum class Button { kLeft, kRight };

// A click (or double click) at `point` in `window`'s client coordinates.
void ClickAt(HWND window, POINT point, Button button = Button::kLeft, bool doubleClick = false);
// Moves the mouse pointer to `point` in `window`'s client coordinates.
void MoveMouseTo(HWND window, POINT point);
// A left click at the centre of a control (push button, check box, field).
void Click(HWND control);
void ClickItem(HWND dialog, int id);
// A key pressed and released, sent to whichever window has the keyboard focus;
// with `modifier` (such as VK_SHIFT) held down meanwhile.
void PressKey(WORD virtualKey, WORD modifier = 0);
// Types `text` on the keyboard layout in use, each character's key pressed
// and released, all in one batch of input; false, sending nothing, when a
// character needs more than its key (Shift, AltGr) or has none.
bool TypeText(const std::string& text);

// --- list view (in this process) -------------------------------------------------

int ListRowCount(HWND list);
std::string ListCellText(HWND list, int row, int column);
// Each row as "IP | MAC | status".
std::vector<std::string> ListRows(HWND list);
// The width of `text` in the list's font (LVM_GETSTRINGWIDTH), for a list of
// any process: the text is copied into the list's process; -1 on failure.
int ListStringWidth(HWND list, const std::string& text);
bool IsRowSelected(HWND list, int row);
int SelectedRowCount(HWND list);
// The centre of a row, and a point below the last row that hits no row.
POINT RowCentre(HWND list, int row);
POINT EmptyListPoint(HWND list);

// --- popup menu and message boxes ------------------------------------------------

// The visible popup menu window (class "#32768") of this process, if any.
HWND FindPopupMenu();
HWND WaitForPopupMenu(DWORD timeoutMs = kWaitMs);
// Chooses the item at `position` (0-based) of the open popup menu by keys.
void PickMenuItem(HWND menu, int position);

enum class Icon { kNone, kWarning, kQuestion, kInformation, kError, kOther };

struct MessageBoxInfo {
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;
    Icon icon = Icon::kNone;
    std::vector<int> buttons;  // the visible buttons' ids (IDOK, IDYES, IDNO, ...)
};

// A message box (dialog class "#32770" with a text and buttons) captioned
// `caption`, of process `processId` (0: this one); null when none appears.
HWND FindMessageBox(const char* caption = "Pellvane", DWORD processId = 0);
HWND WaitForMessageBox(const char* caption = "Pellvane", DWORD processId = 0,
                       DWORD timeoutMs = kWaitMs);
// The icon is recognised only for boxes of this process (icons are
// per-process handles); others read as kOther.
MessageBoxInfo ReadMessageBox(HWND box);
// Clicks the box's button `id` and waits until the box has gone.
bool AnswerMessageBox(HWND box, int id);

// --- settling (windows of this process) -----------------------------------------

// Counts the mouse-button and key releases that a UI thread takes from its
// queue, so a test can wait until the input it sent has been handled.
class InputTracker {
public:
    explicit InputTracker(DWORD uiThreadId);
    ~InputTracker();
    InputTracker(const InputTracker&) = delete;
    InputTracker& operator=(const InputTracker&) = delete;

    bool IsInstalled() const { return m_hHook != nullptr; }
    long Releases() const { return s_releases.load(); }
    // Waits until `count` releases have been taken and then until the UI
    // thread has finished handling them (or waits in a nested modal loop).
    bool WaitForReleases(long count, HWND uiWindow, DWORD timeoutMs = kWaitMs);
    // Waits until everything posted to `uiWindow`'s thread so far (such as a
    // menu's command) has been handled: a marker posted behind it comes out.
    // True as well once the window is gone; false only when the thread did
    // not get there in time.
    bool Flush(HWND uiWindow, DWORD timeoutMs = kWaitMs);

private:
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);
    static bool AnswerWhenIdle(HWND uiWindow, DWORD timeoutMs);
    static std::atomic<long> s_releases;
    static std::atomic<long> s_markersSeen;
    long m_nMarkersPosted = 0;
    HHOOK m_hHook = nullptr;
};

}  // namespace ui
