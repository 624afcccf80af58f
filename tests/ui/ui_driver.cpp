#include "tests/ui/ui_driver.h"

#include <commctrl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace ui {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);

std::string ClassName(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof(name));
    return name;
}

RECT ClientRectOnScreen(HWND window) {
    RECT rect = {};
    ::GetClientRect(window, &rect);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// One mouse event at a screen point, in the absolute coordinates of
// SendInput (0..65535 across the primary screen).
void SendMouse(POINT screen, DWORD flags) {
    int width = ::GetSystemMetrics(SM_CXSCREEN);
    int height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((screen.x * 65536LL + width - 1) / width);
    input.mi.dy = static_cast<LONG>((screen.y * 65536LL + height - 1) / height);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &input, sizeof(input));
}

INPUT KeyInput(WORD virtualKey, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = flags;
    return input;
}

struct TopWindowSearch {
    const char* title;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopWindowSearch*>(param);
    if (!::IsWindowVisible(window))
        return TRUE;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (search->processId && processId != search->processId)
        return TRUE;
    if (GetText(window) != search->title)
        return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    if (::IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

// A message box has a static text and at least one push button.
bool LooksLikeMessageBox(HWND window) {
    if (ClassName(window) != "#32770")
        return false;
    bool hasText = false, hasButton = false;
    for (HWND child : Children(window)) {
        std::string cls = ClassName(child);
        LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (cls == "Static" && (style & SS_TYPEMASK) != SS_ICON)
            hasText = true;
        if (cls == "Button" && ::IsWindowVisible(child))
            hasButton = true;
    }
    return hasText && hasButton;
}

Icon RecogniseIcon(HICON icon) {
    if (!icon)
        return Icon::kNone;
    struct Known {
        LPCSTR id;
        Icon icon;
    };
    for (const Known& known :
         {Known{IDI_WARNING, Icon::kWarning}, Known{IDI_QUESTION, Icon::kQuestion},
          Known{IDI_INFORMATION, Icon::kInformation}, Known{IDI_ERROR, Icon::kError}}) {
        if (::LoadIconA(nullptr, known.id) == icon)
            return known.icon;
    }
    return Icon::kOther;
}

// The last click sent, so that the next one is not taken for its second half.
struct LastClick {
    POINT point;
    Button button;
    std::chrono::steady_clock::time_point time;
};
LastClick s_lastClick = {{-1000, -1000}, Button::kLeft, {}};

// Two clicks at one spot within the double-click time make a double click. A
// user's separate clicks are further apart: wait out the rest of that time.
void KeepApartFromLastClick(POINT point, Button button) {
    if (button != s_lastClick.button ||
        std::abs(point.x - s_lastClick.point.x) > ::GetSystemMetrics(SM_CXDOUBLECLK) ||
        std::abs(point.y - s_lastClick.point.y) > ::GetSystemMetrics(SM_CYDOUBLECLK))
        return;
    auto apart = s_lastClick.time + std::chrono::milliseconds(::GetDoubleClickTime() + 50);
    std::this_thread::sleep_until(apart);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

// --- windows -------------------------------------------------------------------

HWND FindTopWindow(const char* title, DWORD processId) {
    TopWindowSearch search = {title, processId, nullptr};
    ::EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopWindow(const char* title, DWORD processId, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(title, processId)) != nullptr; }, timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !::IsWindow(window); }, timeoutMs);
}

std::vector<HWND> ThreadWindows(DWORD threadId) {
    std::vector<HWND> windows;
    ::EnumThreadWindows(threadId, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool CloseThreadWindows(DWORD threadId) {
    for (int round = 0; round < 20; ++round) {
        std::vector<HWND> windows = ThreadWindows(threadId);
        if (windows.empty())
            return true;
        // A window disabled by a modal box or dialog waits until that has gone.
        for (HWND window : windows) {
            if (!::IsWindowEnabled(window))
                continue;
            if (ClassName(window) == "#32768") {
                ::PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
                continue;
            }
            // A question is answered No, so nothing is saved; a notice, like
            // any dialog, ends by its cancel command (never OK, which may act).
            HWND no = ::GetDlgItem(window, IDNO);
            int id = no && ::IsWindowVisible(no) ? IDNO : IDCANCEL;
            ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        }
        WaitUntil([&] { return ThreadWindows(threadId) != windows; }, 3000);
    }
    std::vector<HWND> left = ThreadWindows(threadId);
    for (HWND window : left)
        ADD_FAILURE() << "left open: \"" << GetText(window) << "\" (" << ClassName(window)
                      << (::IsWindowEnabled(window) ? "" : ", disabled") << ")";
    return left.empty();
}

std::string GetText(HWND window) {
    // WM_GETTEXT rather than GetWindowText, which does not ask other processes.
    char text[1024] = {};
    ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, kWaitMs, nullptr);
    return text;
}

std::string GetItemText(HWND dialog, int id) {
    return GetText(::GetDlgItem(dialog, id));
}

bool IsChecked(HWND dialog, int id) {
    return ::SendMessageA(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

HWND FocusedWindow(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

void SetFieldText(HWND dialog, int id, const char* text) {
    ::SendMessageA(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// --- mouse and keyboard -----------------------------------------------------------

void ClickAt(HWND window, POINT point, Button button, bool doubleClick) {
    ::ClientToScreen(window, &point);
    KeepApartFromLastClick(point, button);
    DWORD down = button == Button::kLeft ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    DWORD up = button == Button::kLeft ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    SendMouse(point, 0);
    for (int i = 0; i < (doubleClick ? 2 : 1); ++i) {
        SendMouse(point, down);
        SendMouse(point, up);
    }
    s_lastClick = {point, button, std::chrono::steady_clock::now()};
}

void MoveMouseTo(HWND window, POINT point) {
    ::ClientToScreen(window, &point);
    SendMouse(point, 0);
}

void Click(HWND control) {
    RECT rect = ClientRectOnScreen(control);
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ::ScreenToClient(control, &centre);
    ClickAt(control, centre);
}

void ClickItem(HWND dialog, int id) {
    Click(::GetDlgItem(dialog, id));
}

void PressKey(WORD virtualKey, WORD modifier) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD key, DWORD flags) { inputs.push_back(KeyInput(key, flags)); };
    if (modifier)
        add(modifier, 0);
    add(virtualKey, 0);
    add(virtualKey, KEYEVENTF_KEYUP);
    if (modifier)
        add(modifier, KEYEVENTF_KEYUP);
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool TypeText(const std::string& text) {
    std::vector<INPUT> inputs;
    for (char ch : text) {
        SHORT key = ::VkKeyScanA(ch);
        if (key == -1 || HIBYTE(key) != 0)
            return false;
        inputs.push_back(KeyInput(LOBYTE(key), 0));
        inputs.push_back(KeyInput(LOBYTE(key), KEYEVENTF_KEYUP));
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return true;
}

// --- list view ----------------------------------------------------------------------

int ListRowCount(HWND list) {
    return static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string ListCellText(HWND list, int row, int column) {
    // The list asks its owner for the text (LVN_GETDISPINFO), as when it draws.
    char text[256] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<std::string> ListRows(HWND list) {
    std::vector<std::string> rows;
    for (int row = 0; row < ListRowCount(list); ++row)
        rows.push_back(ListCellText(list, row, 0) + " | " + ListCellText(list, row, 1) + " | " +
                       ListCellText(list, row, 2));
    return rows;
}

int ListStringWidth(HWND list, const std::string& text) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(list, &processId);
    if (processId == ::GetCurrentProcessId())
        return static_cast<int>(
            ::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text.c_str())));
    // The control reads the text in its own process.
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return -1;
    int width = -1;
    if (void* copy = ::VirtualAllocEx(process, nullptr, text.size() + 1, MEM_COMMIT | MEM_RESERVE,
                                      PAGE_READWRITE)) {
        if (::WriteProcessMemory(process, copy, text.c_str(), text.size() + 1, nullptr))
            width = static_cast<int>(
                ::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(copy)));
        ::VirtualFreeEx(process, copy, 0, MEM_RELEASE);
    }
    ::CloseHandle(process);
    return width;
}

bool IsRowSelected(HWND list, int row) {
    return (::SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) &
            LVIS_SELECTED) != 0;
}

int SelectedRowCount(HWND list) {
    return static_cast<int>(::SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
}

POINT RowCentre(HWND list, int row) {
    RECT rect = {};
    rect.left = LVIR_BOUNDS;
    ::SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&rect));
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

POINT EmptyListPoint(HWND list) {
    // Halfway between the last row (or the header) and the bottom edge.
    RECT client = {};
    ::GetClientRect(list, &client);
    LONG top = client.top;
    int count = ListRowCount(list);
    if (count > 0) {
        RECT last = {};
        last.left = LVIR_BOUNDS;
        ::SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(count - 1),
                       reinterpret_cast<LPARAM>(&last));
        top = last.bottom;
    }
    return POINT{(client.left + client.right) / 4, (top + client.bottom) / 2};
}

// --- popup menu and message boxes ---------------------------------------------------

// Window enumeration callbacks are named functions: a lambda converts only to
// the default calling convention, which is not CALLBACK's on 32-bit Windows.
namespace {

BOOL CALLBACK MatchPopupMenu(HWND window, LPARAM param) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != ::GetCurrentProcessId() || !::IsWindowVisible(window) ||
        ClassName(window) != "#32768")
        return TRUE;
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

struct MessageBoxSearch {
    const char* caption;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<MessageBoxSearch*>(param);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != s->processId || !::IsWindowVisible(window) || GetText(window) != s->caption ||
        !LooksLikeMessageBox(window))
        return TRUE;
    s->found = window;
    return FALSE;
}

}  // namespace

HWND FindPopupMenu() {
    HWND found = nullptr;
    ::EnumWindows(MatchPopupMenu, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND WaitForPopupMenu(DWORD timeoutMs) {
    HWND menu = nullptr;
    WaitUntil([&] { return (menu = FindPopupMenu()) != nullptr; }, timeoutMs);
    return menu;
}

void PickMenuItem(HWND menu, int position) {
    // The menu's modal loop reads every key of its thread: Down selects the
    // first item, then each further Down the next one; Enter chooses it.
    for (int i = 0; i <= position; ++i) {
        ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageA(menu, WM_KEYUP, VK_DOWN, 0xC0000000);
    }
    ::PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageA(menu, WM_KEYUP, VK_RETURN, 0xC0000000);
}

HWND FindMessageBox(const char* caption, DWORD processId) {
    MessageBoxSearch search = {caption, processId ? processId : ::GetCurrentProcessId(), nullptr};
    ::EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForMessageBox(const char* caption, DWORD processId, DWORD timeoutMs) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindMessageBox(caption, processId)) != nullptr; }, timeoutMs);
    return box;
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.hwnd = box;
    info.caption = GetText(box);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(box, &processId);
    for (HWND child : Children(box)) {
        std::string cls = ClassName(child);
        LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
            auto icon = reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0));
            info.icon = processId == ::GetCurrentProcessId() ? RecogniseIcon(icon)
                        : icon                               ? Icon::kOther
                                                             : Icon::kNone;
        } else if (cls == "Static") {
            std::string text = GetText(child);
            if (!text.empty())
                info.text = text;
        } else if (cls == "Button" && ::IsWindowVisible(child)) {
            info.buttons.push_back(::GetDlgCtrlID(child));
        }
    }
    return info;
}

bool AnswerMessageBox(HWND box, int id) {
    HWND button = ::GetDlgItem(box, id);
    if (!button || !::IsWindowVisible(button))
        return false;
    Click(button);
    return WaitForWindowGone(box);
}

// --- settling -------------------------------------------------------------------------

namespace {
// Posted behind earlier messages to see when the UI thread has reached them;
// the dialog ignores it.
constexpr UINT kMarkerMessage = WM_APP + 0x3E1;
}  // namespace

std::atomic<long> InputTracker::s_releases{0};
std::atomic<long> InputTracker::s_markersSeen{0};

InputTracker::InputTracker(DWORD uiThreadId) {
    m_hHook = ::SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, uiThreadId);
    s_markersSeen = 0;
}

InputTracker::~InputTracker() {
    if (m_hHook)
        ::UnhookWindowsHookEx(m_hHook);
}

LRESULT CALLBACK InputTracker::GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == WM_LBUTTONUP || msg->message == WM_RBUTTONUP ||
            msg->message == WM_KEYUP)
            ++s_releases;
        if (msg->message == kMarkerMessage)
            s_markersSeen = static_cast<long>(msg->wParam);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool InputTracker::AnswerWhenIdle(HWND uiWindow, DWORD timeoutMs) {
    // The thread answers only between messages: once it does, what it took
    // before has been handled, or its handling waits in a modal loop.
    DWORD_PTR ignored = 0;
    if (::IsWindow(uiWindow))
        ::SendMessageTimeoutA(uiWindow, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored);
    return true;
}

bool InputTracker::WaitForReleases(long count, HWND uiWindow, DWORD timeoutMs) {
    if (!m_hHook || !WaitUntil([&] { return s_releases.load() >= count; }, timeoutMs))
        return false;
    return AnswerWhenIdle(uiWindow, timeoutMs);
}

bool InputTracker::Flush(HWND uiWindow, DWORD timeoutMs) {
    if (!m_hHook)
        return false;
    // A window that is gone has handled all it will: whether it should have
    // closed is for the caller to check.
    if (!::IsWindow(uiWindow))
        return true;
    long marker = ++m_nMarkersPosted;
    ::PostMessageA(uiWindow, kMarkerMessage, static_cast<WPARAM>(marker), 0);
    if (!WaitUntil([&] { return s_markersSeen.load() >= marker || !::IsWindow(uiWindow); },
                   timeoutMs))
        return false;
    return AnswerWhenIdle(uiWindow, timeoutMs);
}

}  // namespace ui
