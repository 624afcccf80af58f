#include "tools/ui_bench/ui_probe.h"

#include <atomic>
#include <chrono>
#include <thread>

// The project's headers bring the socket library's before <windows.h>.
#include "app/adapter_config_app.h"
#include "framework/winapp.h"
#include "net/adapter_table.h"
#include "tools/bench_common/bench_common.h"
#include "ui/adapter_config_dlg.h"
#include "ui/resources/resource.h"

#include <windows.h>
#include <commctrl.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kShowTimeoutMs = 60000;
// A list that redraws after every row took up to 25 s for a thousand rows
// here; a slow rebuild is a figure to report, not a hang.
constexpr DWORD kCommandTimeoutMs = 180000;
// A list that has not painted this long after the command ended never will.
constexpr DWORD kPaintTimeoutMs = 3000;
constexpr DWORD kIdleBeforeClickMs = 300;

// Private messages the driver thread sends to the window's thread, so that
// everything the probe reads is read there, while the window is idle.
constexpr UINT kTakeSnapshot = WM_APP + 0x50;   // lParam: ProbeSnapshot*
constexpr UINT kArmUpdate = WM_APP + 0x51;      // the next "Update" click is measured
constexpr UINT kCollectUpdate = WM_APP + 0x52;  // lParam: ProbeUpdate*

// Where the measured "Update" stands. The list receives nothing while the
// exchange runs (the window's thread is blocked in it), so the first message
// it gets after being emptied marks the end of the exchange.
enum class Phase { kIdle, kArmed, kCommand, kExchange, kRebuild, kAwaitPaint, kDone };

struct ProbeState {
    HHOOK hook = nullptr;
    HWND dialog = nullptr;
    HWND list = nullptr;
    WNDPROC dialogProc = nullptr;
    WNDPROC listProc = nullptr;
    HANDLE shownEvent = nullptr;    // window shown and its list painted
    HANDLE commandEvent = nullptr;  // the measured "Update" command has returned
    HANDLE paintedEvent = nullptr;  // the list has painted after it

    bool shown = false;
    bool startPainted = false;
    FILETIME shownAt = {};

    Phase phase = Phase::kIdle;
    bool listPainting = false;
    int textRequests = 0;
    int textRequestsInPaint = 0;
    Clock::time_point clearEnd, rebuildStart, commandEnd, listed;
};

ProbeState g_probe;
// The window has closed: whatever the driver still waits for will not come.
std::atomic<bool> g_sessionOver{false};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

unsigned long long Ticks(const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

std::string ListText(HWND list, int row, int column) {
    char buffer[256] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

void TakeSnapshot(ProbeSnapshot& snapshot) {
    snapshot = ProbeSnapshot{};
    HWND list = g_probe.list;
    snapshot.listVisible = IsWindowVisible(list) != FALSE;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row)
        snapshot.rows.push_back(
            {ListText(list, row, 0), ListText(list, row, 1), ListText(list, row, 2)});

    auto* app = static_cast<CAdapterConfigApp*>(AfxGetApp());
    if (app && app->m_pMainWnd)
        snapshot.trackedRow = static_cast<CAdapterConfigDlg*>(app->m_pMainWnd)->m_nSelectedRow;
    const CAdapterTable* table = app ? app->m_pAdapterTable : nullptr;
    // One walk: looking each entry up by index would cost the square of the table.
    for (POSITION pos = table ? table->GetHeadPosition() : nullptr; pos;) {
        ProbeRow entry;
        if (const auto* record = static_cast<const AdapterRecord*>(table->GetNext(pos))) {
            CString ip, mac, status;
            record->GetIpText(ip);
            record->GetMacText(mac);
            record->GetStatusText(status);
            entry = {ip.GetString(), mac.GetString(), status.GetString()};
        }
        snapshot.table.push_back(entry);
    }
}

void CollectUpdate(ProbeUpdate& update) {
    ProbeState& p = g_probe;
    if (p.phase == Phase::kDone) {
        update.repainted = true;
        update.textRequestsInPaint = p.textRequestsInPaint;
    } else {
        p.listed = p.commandEnd;  // no paint came: the rows went unseen
    }
    update.exchangeMs = Ms(p.rebuildStart - p.clearEnd);
    update.rebuildMs = Ms(p.listed - p.rebuildStart);
    p.phase = Phase::kIdle;
}

LRESULT CALLBACK ListSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ProbeState& p = g_probe;
    if (p.phase == Phase::kExchange) {
        p.rebuildStart = Clock::now();
        p.phase = Phase::kRebuild;
    }
    if (message == LVM_DELETEALLITEMS && p.phase == Phase::kCommand) {
        LRESULT result = CallWindowProcA(p.listProc, hwnd, message, wParam, lParam);
        p.clearEnd = Clock::now();
        p.phase = Phase::kExchange;
        return result;
    }
    if (message != WM_PAINT)
        return CallWindowProcA(p.listProc, hwnd, message, wParam, lParam);

    p.listPainting = true;
    p.textRequests = 0;
    LRESULT result = CallWindowProcA(p.listProc, hwnd, message, wParam, lParam);
    p.listPainting = false;
    if (p.shown && !p.startPainted) {
        p.startPainted = true;
        GetSystemTimePreciseAsFileTime(&p.shownAt);
        SetEvent(p.shownEvent);
    }
    if (p.phase == Phase::kAwaitPaint) {
        p.listed = Clock::now();
        p.textRequestsInPaint = p.textRequests;
        p.phase = Phase::kDone;
        SetEvent(p.paintedEvent);
    }
    return result;
}

LRESULT CALLBACK DialogSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ProbeState& p = g_probe;
    switch (message) {
        case kTakeSnapshot:
            TakeSnapshot(*reinterpret_cast<ProbeSnapshot*>(lParam));
            return 0;
        case kArmUpdate:
            ResetEvent(p.commandEvent);
            ResetEvent(p.paintedEvent);
            p.phase = Phase::kArmed;
            return 0;
        case kCollectUpdate:
            CollectUpdate(*reinterpret_cast<ProbeUpdate*>(lParam));
            return 0;
        case WM_SHOWWINDOW:
            if (wParam)
                p.shown = true;
            break;
        case WM_WINDOWPOSCHANGED:
            if (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)
                p.shown = true;
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (p.listPainting && header->hwndFrom == p.list &&
                (header->code == LVN_GETDISPINFOA || header->code == LVN_GETDISPINFOW))
                ++p.textRequests;
            break;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_UPDATE && HIWORD(wParam) == BN_CLICKED &&
                p.phase == Phase::kArmed) {
                p.phase = Phase::kCommand;
                LRESULT result = CallWindowProcA(p.dialogProc, hwnd, message, wParam, lParam);
                p.commandEnd = Clock::now();
                if (p.phase == Phase::kExchange)  // nothing reached the list after the exchange
                    p.rebuildStart = p.commandEnd;
                p.phase = Phase::kAwaitPaint;
                SetEvent(p.commandEvent);
                return result;
            }
            break;
        default:
            break;
    }
    return CallWindowProcA(p.dialogProc, hwnd, message, wParam, lParam);
}

// The main window is recognised by its list when it is initialised, before
// its first discovery runs; from then on the probe watches it by subclassing.
LRESULT CALLBACK CallWndHook(int code, WPARAM wParam, LPARAM lParam) {
    ProbeState& p = g_probe;
    LRESULT result = CallNextHookEx(p.hook, code, wParam, lParam);
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code != HC_ACTION || call->message != WM_INITDIALOG || p.dialog)
        return result;
    HWND list = GetDlgItem(call->hwnd, IDC_ADAPTER_LIST);
    if (!list)
        return result;
    p.dialog = call->hwnd;
    p.list = list;
    p.dialogProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(p.dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DialogSubclass)));
    p.listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(p.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListSubclass)));
    // A hook on every sent message would slow down what is measured.
    UnhookWindowsHookEx(p.hook);
    p.hook = nullptr;
    return result;
}

bool Wait(HANDLE event, DWORD timeoutMs) {
    return WaitForSingleObject(event, timeoutMs) == WAIT_OBJECT_0 && !g_sessionOver;
}

// Selects `row` alone, as a click on it would.
void SelectRow(HWND list, int row) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void Drive(ProbeOptions options, ProbeReport& report, std::string& error) {
    ProbeState& p = g_probe;
    if (!Wait(p.shownEvent, kShowTimeoutMs)) {
        error = g_sessionOver ? "the program ended without showing its window"
                              : "the main window did not show within 60 s";
        return;
    }
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    report.startToShownMs = static_cast<double>(Ticks(p.shownAt) - Ticks(created)) / 10000.0;
    if (options.snapshots)
        SendMessageA(p.dialog, kTakeSnapshot, 0, reinterpret_cast<LPARAM>(&report.atStart));

    HWND button = GetDlgItem(p.dialog, IDC_UPDATE);
    for (int i = 0; i < options.updates && error.empty(); ++i) {
        if (options.selectRow >= 0)
            SelectRow(p.list, options.selectRow);
        Sleep(kIdleBeforeClickMs);
        SendMessageA(p.dialog, kArmUpdate, 0, 0);
        ProbeUpdate update;
        double cpuBefore = ProcessCpuMs();
        Clock::time_point click = Clock::now();
        PostMessageA(button, BM_CLICK, 0, 0);
        if (!Wait(p.commandEvent, kCommandTimeoutMs)) {
            error = g_sessionOver ? "the window closed during \"Update\""
                                  : "\"Update\" did not return within 180 s";
            break;
        }
        Wait(p.paintedEvent, kPaintTimeoutMs);
        update.cpuMs = ProcessCpuMs() - cpuBefore;
        SendMessageA(p.dialog, kCollectUpdate, 0, reinterpret_cast<LPARAM>(&update));
        update.clickToListedMs = Ms(p.listed - click);
        if (options.snapshots)
            SendMessageA(p.dialog, kTakeSnapshot, 0, reinterpret_cast<LPARAM>(&update.after));
        report.updates.push_back(update);
    }
    PostMessageA(p.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

}  // namespace

bool RunProbedSession(const ProbeOptions& options, ProbeReport& report, std::string& error) {
    report = ProbeReport{};
    error.clear();
    ProbeState& p = g_probe;
    for (HANDLE event : {p.shownEvent, p.commandEvent, p.paintedEvent})
        if (event)
            CloseHandle(event);
    p = ProbeState{};
    g_sessionOver = false;
    p.shownEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    p.commandEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    p.paintedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    p.hook = SetWindowsHookExA(WH_CALLWNDPROC, CallWndHook, nullptr, GetCurrentThreadId());
    if (!p.shownEvent || !p.commandEvent || !p.paintedEvent || !p.hook) {
        error = "could not set up the probe";
        return false;
    }

    std::thread driver(Drive, options, std::ref(report), std::ref(error));
    AfxWinMain();
    g_sessionOver = true;
    SetEvent(p.shownEvent);
    SetEvent(p.commandEvent);
    SetEvent(p.paintedEvent);
    driver.join();
    if (p.hook) {
        UnhookWindowsHookEx(p.hook);
        p.hook = nullptr;
    }
    return error.empty();
}
