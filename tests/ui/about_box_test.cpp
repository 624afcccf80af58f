// The About box and what the main window does with its system menu and icon:
// the main window runs modally on the test's thread (without an adapter
// table, so no discovery) while a second thread operates it. Also the
// resources Windows reads from Pellvane.exe itself: version, manifest and the
// event log's message table; and what the program reports to the event log.
#include "tests/ui/ui_driver.h"  // winsock2.h ahead of windows.h

#include <commctrl.h>
#include <winver.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "app/adapter_config_app.h"
#include "change_events.h"
#include "framework/text_encoding.h"
#include "pellvane_version.h"
#include "record/event_log.h"
#include "tests/support/event_trace.h"
#include "tests/support/process_text.h"
#include "tests/support/registry_tree.h"
#include "ui/about_dlg.h"
#include "ui/adapter_config_dlg.h"
#include "ui/resources/resource.h"

#ifndef PELLVANE_EXE_PATH
#error "PELLVANE_EXE_PATH must name the built Pellvane.exe"
#endif

namespace {

constexpr char kMainTitle[] = "Configuration of Tessik/AD";
constexpr char kAboutTitle[] = "About Pellvane";
constexpr DWORD kHandledWithinMs = 3000;

HWND FindAbout() {
    return ui::FindTopWindow(kAboutTitle, ::GetCurrentProcessId());
}

// Runs the main window until it ends while `drive` operates it from a second
// thread; returns how the window ended.
INT_PTR RunMainWindow(const std::function<void(HWND, CAdapterConfigDlg&)>& drive) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    CAdapterConfigApp app;
    CAdapterConfigDlg dialog;
    app.m_pMainWnd = &dialog;
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread driver([&] {
        if (HWND window = ui::WaitForTopWindow(kMainTitle, ::GetCurrentProcessId()))
            drive(window, dialog);
        else
            ADD_FAILURE() << "the main window did not appear";
        EXPECT_TRUE(ui::CloseThreadWindows(uiThread));
    });
    INT_PTR result = dialog.DoModal();
    driver.join();
    app.m_pMainWnd = nullptr;
    return result;
}

// Delivers a system command; false if the window is still handling it after
// a while (as it would be when the command opened a modal box).
bool HandledPromptly(HWND window, UINT command) {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutA(window, WM_SYSCOMMAND, command, 0, SMTO_NORMAL, kHandledWithinMs,
                                 &ignored) != 0;
}

// Runs `check` on the minimized window. Wine without a window manager may
// restore a window at a late X focus event, so the window is minimized again
// and the check repeated until it has run entirely while minimized.
bool CheckWhileMinimized(HWND window, const std::function<bool()>& check) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        ::PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        if (!ui::WaitUntil([&] { return ::IsIconic(window) != FALSE; }, kHandledWithinMs))
            continue;
        bool passed = check();
        if (::IsIconic(window))
            return passed;
    }
    ADD_FAILURE() << "the window did not stay minimized";
    return false;
}

std::string MenuItemText(HMENU menu, int position) {
    char text[128] = {};
    ::GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
    return text;
}

// Checks one open About box: its owner is the (now disabled) main window and
// it shows the icon, the version line, a second line and a default OK button.
void ExpectAboutBox(HWND about, HWND mainWindow) {
    EXPECT_EQ(::GetWindow(about, GW_OWNER), mainWindow);
    EXPECT_FALSE(::IsWindowEnabled(mainWindow)) << "the About box must be modal";
    std::vector<std::string> texts;
    std::vector<LONG> textStyles;
    bool hasIcon = false;
    for (HWND child = ::GetWindow(about, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = {};
        ::GetClassNameA(child, cls, sizeof(cls));
        if (std::string(cls) != "Static")
            continue;
        LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            hasIcon = hasIcon || ::SendMessageA(child, STM_GETICON, 0, 0) != 0;
        } else {
            texts.push_back(ui::GetText(child));
            textStyles.push_back(style);
        }
    }
    EXPECT_TRUE(hasIcon) << "no application icon in the About box";
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Pellvane Version 1.0");
    EXPECT_TRUE(textStyles[0] & SS_NOPREFIX) << "an ampersand in the version line would vanish";
    // Which build runs, from the one version number and the tree's architecture.
    EXPECT_EQ(texts[1], "Release " PELLVANE_VERSION_TEXT +
                            std::string(sizeof(void*) == 8 ? ", 64-bit" : ", 32-bit"));
    HWND ok = ::GetDlgItem(about, IDOK);
    EXPECT_EQ(ui::GetText(ok), "OK");
    EXPECT_EQ(::GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
}

// Closes an About box one of the ways a user can and checks that the main
// window is usable again.
void CloseAboutBox(HWND about, HWND mainWindow, const std::function<void()>& close) {
    close();
    EXPECT_TRUE(ui::WaitForWindowGone(about)) << "the About box did not close";
    EXPECT_TRUE(ui::WaitUntil([&] { return ::IsWindowEnabled(mainWindow) != FALSE; }));
}

}  // namespace

TEST(AboutBoxTest, SystemMenuEndsWithSeparatorAndAboutEntry) {
    REQUIRE_DISPLAY();
    RunMainWindow([](HWND window, CAdapterConfigDlg&) {
        HMENU menu = ::GetSystemMenu(window, FALSE);
        ASSERT_NE(menu, nullptr);
        int count = ::GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_TRUE(::GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) &
                    MF_SEPARATOR);
        EXPECT_EQ(::GetMenuItemID(menu, count - 1), 16u);
        EXPECT_EQ(MenuItemText(menu, count - 1), "&About Pellvane...");
        EXPECT_FALSE(::GetMenuState(menu, static_cast<UINT>(count - 1), MF_BYPOSITION) &
                     (MF_GRAYED | MF_DISABLED));
        int aboutEntries = 0;
        for (int i = 0; i < count; ++i)
            aboutEntries += ::GetMenuItemID(menu, i) == 16u ? 1 : 0;
        EXPECT_EQ(aboutEntries, 1);
    });
}

// Commands 16 to 31 all mean About; each opens a fresh box, however the
// previous one was closed.
TEST(AboutBoxTest, AboutCommandsOpenAFreshModalBoxEachTime) {
    REQUIRE_DISPLAY();
    RunMainWindow([](HWND window, CAdapterConfigDlg&) {
        struct Round {
            UINT command;
            const char* closedBy;
        };
        HWND previous = nullptr;
        for (Round round : {Round{16, "OK"}, Round{31, "Esc"}, Round{16, "close box"}}) {
            SCOPED_TRACE(std::string("command ") + std::to_string(round.command) + ", closed by " +
                         round.closedBy);
            ::PostMessageA(window, WM_SYSCOMMAND, round.command, 0);
            HWND about = ui::WaitForTopWindow(kAboutTitle, ::GetCurrentProcessId());
            ASSERT_NE(about, nullptr) << "no About box";
            EXPECT_NE(about, previous) << "the earlier box came back";
            ExpectAboutBox(about, window);
            CloseAboutBox(about, window, [&] {
                std::string by = round.closedBy;
                if (by == "OK")
                    ::PostMessageA(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
                else if (by == "Esc")
                    ::PostMessageA(ui::FocusedWindow(about) ? ui::FocusedWindow(about) : about,
                                   WM_KEYDOWN, VK_ESCAPE, 0);
                else
                    ::PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0);
            });
            previous = about;
        }
        EXPECT_TRUE(::IsWindowVisible(window)) << "closing the About box closed the main window";
    });
}

// The way a user gets there by keyboard: Alt+Space opens the system menu, Up
// selects its last entry, Enter chooses it.
TEST(AboutBoxTest, SystemMenuEntryOpensTheBox) {
    REQUIRE_DISPLAY();
    RunMainWindow([](HWND window, CAdapterConfigDlg&) {
        ::PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, ' ');
        HWND menu = ui::WaitForPopupMenu();
        ASSERT_NE(menu, nullptr) << "the system menu did not open";
        ::PostMessageA(menu, WM_KEYDOWN, VK_UP, 0);
        ::PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
        HWND about = ui::WaitForTopWindow(kAboutTitle, ::GetCurrentProcessId());
        ASSERT_NE(about, nullptr) << "choosing the last system-menu entry did not open About";
        CloseAboutBox(about, window, [&] { ::PostMessageA(about, WM_COMMAND, IDOK, 0); });
    });
}

TEST(AboutBoxTest, OtherSystemCommandsGoToTheDefaultProcessing) {
    REQUIRE_DISPLAY();
    RunMainWindow([](HWND window, CAdapterConfigDlg&) {
        // Just outside 16-31 on both sides, 16's low bits with other high
        // bits, and one of the platform's commands (harmless here: the window
        // is not minimized).
        for (UINT command : {15u, 32u, 0x110u, static_cast<UINT>(SC_RESTORE)}) {
            SCOPED_TRACE("command " + std::to_string(command));
            EXPECT_TRUE(HandledPromptly(window, command));
            EXPECT_EQ(FindAbout(), nullptr);
            EXPECT_TRUE(::IsWindowEnabled(window));
            EXPECT_FALSE(::IsIconic(window));
        }
    });
}

// Both window icons are the application icon; minimized, the window answers
// the drag-icon query with it and handles its paint requests; it restores and
// its close box ends it with the cancel result, without asking to save.
TEST(AboutBoxTest, IconMinimizeRestoreAndClose) {
    REQUIRE_DISPLAY();
    bool closed = false;
    INT_PTR result = RunMainWindow([&](HWND window, CAdapterConfigDlg& dialog) {
        HICON icon = dialog.m_hIcon;
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon, ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)));
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(window, WM_GETICON, ICON_BIG, 0)), icon);
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(window, WM_GETICON, ICON_SMALL, 0)), icon);

        // A paint request while minimized (the icon drawn into the window) is
        // answered promptly and leaves the window answering.
        EXPECT_TRUE(CheckWhileMinimized(window, [&] {
            DWORD_PTR ignored = 0;
            return reinterpret_cast<HICON>(::SendMessageA(window, WM_QUERYDRAGICON, 0, 0)) ==
                       icon &&
                   ::SendMessageTimeoutA(window, WM_PAINT, 0, 0, SMTO_NORMAL, kHandledWithinMs,
                                         &ignored) &&
                   reinterpret_cast<HICON>(::SendMessageA(window, WM_QUERYDRAGICON, 0, 0)) == icon;
        }));
        EXPECT_EQ(FindAbout(), nullptr);

        ::PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        ASSERT_TRUE(ui::WaitUntil([&] { return !::IsIconic(window) && ::IsWindowVisible(window); }))
            << "the window did not restore";
        EXPECT_TRUE(HandledPromptly(window, SC_CLOSE));
        closed = ui::WaitForWindowGone(window);
        EXPECT_EQ(ui::FindMessageBox("Pellvane"), nullptr) << "closing asked a question";
    });
    EXPECT_TRUE(closed) << "the close command did not end the window";
    EXPECT_EQ(result, IDCANCEL);
}

// A handler that fails is reported in a notice instead of passing in
// silence, and the dialog goes on as before.
TEST(AboutBoxTest, AFailedHandlerIsReportedAndTheDialogGoesOn) {
    REQUIRE_DISPLAY();
    class CFailingAboutDlg : public CAboutDlg {
    protected:
        void OnOK() override { throw std::bad_alloc(); }
    };
    CAdapterConfigApp app;
    app.m_strAppName = "Pellvane";
    CFailingAboutDlg about;
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread driver([&] {
        [&] {
            HWND window = ui::WaitForTopWindow(kAboutTitle, ::GetCurrentProcessId());
            ASSERT_NE(window, nullptr);
            ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            HWND box = ui::WaitForMessageBox();
            ASSERT_NE(box, nullptr) << "the failure passed in silence";
            ui::MessageBoxInfo info = ui::ReadMessageBox(box);
            EXPECT_EQ(info.text, "There was not enough memory to finish the last action.");
            EXPECT_EQ(info.icon, ui::Icon::kWarning);
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
            EXPECT_TRUE(ui::WaitForWindowGone(box));
            EXPECT_TRUE(::IsWindowVisible(window)) << "the dialog ended with the failure";
        }();
        EXPECT_TRUE(ui::CloseThreadWindows(uiThread));
    });
    EXPECT_EQ(about.DoModal(), IDCANCEL);
    driver.join();
}

// Running out of memory before the main window exists ends the run with a
// notice and a failure code, after releasing what start-up had begun.
TEST(AboutBoxTest, OutOfMemoryBeforeTheMainWindowEndsTheRunWithANotice) {
    REQUIRE_DISPLAY();
    class CFailingStartApp : public CWinApp {
    public:
        CFailingStartApp() : CWinApp("Pellvane") {}
        BOOL InitInstance() override { throw std::bad_alloc(); }
        int ExitInstance() override {
            m_bExited = true;
            return 0;
        }
        bool m_bExited = false;
    } app;
    ui::MessageBoxInfo info;
    std::thread driver([&] {
        if (HWND box = ui::WaitForMessageBox()) {
            info = ui::ReadMessageBox(box);
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    });
    EXPECT_EQ(AfxWinMain(), kExitAbandoned);
    driver.join();
    EXPECT_EQ(info.text, "Pellvane has ended: there was not enough memory to run it.");
    EXPECT_EQ(info.icon, ui::Icon::kWarning);
    EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(app.m_bExited);
}

// What Windows and the installer read from Pellvane.exe: the version
// resource and the manifest (common controls 6, DPI awareness, execution
// level), plus the About box's template, string and two-size icon.
TEST(AboutBoxTest, PellvaneExeCarriesVersionAndManifest) {
    std::string path = PELLVANE_EXE_PATH;
    if (!path.empty() && path[0] == '/')
        path.insert(0, "Z:");  // under Wine the Unix root is drive Z:

    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << path << " has no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // The build's one version number, major.minor.patch.0.
    constexpr DWORD kMost = (PELLVANE_VERSION_MAJOR << 16) | PELLVANE_VERSION_MINOR;
    constexpr DWORD kLeast = PELLVANE_VERSION_PATCH << 16;
    EXPECT_EQ(fixed->dwFileVersionMS, kMost);
    EXPECT_EQ(fixed->dwFileVersionLS, kLeast);
    EXPECT_EQ(fixed->dwProductVersionMS, kMost);
    EXPECT_EQ(fixed->dwProductVersionLS, kLeast);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    char block[64];
    std::snprintf(block, sizeof(block), "\\StringFileInfo\\%04x%04x\\", translation[0],
                  translation[1]);
    auto value = [&](const char* name) -> std::string {
        char* text = nullptr;
        UINT chars = 0;
        if (!::VerQueryValueA(info.data(), (std::string(block) + name).c_str(),
                              reinterpret_cast<void**>(&text), &chars) ||
            !text)
            return "<missing>";
        return text;
    };
    EXPECT_EQ(value("ProductName"), "Pellvane");
    EXPECT_EQ(value("ProductVersion"), PELLVANE_VERSION_TEXT);
    EXPECT_EQ(value("FileVersion"), PELLVANE_VERSION_TEXT);
    EXPECT_EQ(value("OriginalFilename"), "Pellvane.exe");

    HMODULE exe = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC manifestResource = ::FindResourceA(exe, MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_NE(manifestResource, nullptr) << "no application manifest";
    std::string manifest(
        static_cast<const char*>(::LockResource(::LoadResource(exe, manifestResource))),
        ::SizeofResource(exe, manifestResource));
    EXPECT_NE(manifest.find("requestedExecutionLevel level=\"highestAvailable\""),
              std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);

    EXPECT_NE(::FindResourceA(exe, MAKEINTRESOURCEA(IDD_ABOUTBOX), RT_DIALOG), nullptr);
    char text[64] = {};
    ::LoadStringA(exe, IDS_ABOUTBOX, text, sizeof(text));
    EXPECT_STREQ(text, "&About Pellvane...");

    // The icon group holds a 32 x 32 image (window, drag icon) and a 16 x 16
    // one (caption, task bar).
    HRSRC group = ::FindResourceA(exe, MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const BYTE* directory = static_cast<const BYTE*>(::LockResource(::LoadResource(exe, group)));
    const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
    std::vector<int> widths;
    for (WORD i = 0; i < count; ++i)
        widths.push_back(directory[6 + 14 * i]);  // GRPICONDIRENTRY.bWidth
    EXPECT_NE(std::find(widths.begin(), widths.end(), 32), widths.end());
    EXPECT_NE(std::find(widths.begin(), widths.end(), 16), widths.end());
    ::FreeLibrary(exe);
}

// The event log's messages as Event Viewer reads them from Pellvane.exe: each
// event's insertion strings in their places, CRLF line breaks, none at the end.
TEST(EventLogTest, PellvaneExeCarriesTheChangeMessages) {
    HMODULE exe = ::LoadLibraryExW(Utf8ToWide(PlatformPath(PELLVANE_EXE_PATH)).c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    struct Case {
        DWORD id;
        unsigned code, severity, strings;  // code and severity as Event Viewer shows them
        const char* start;
    } cases[] = {
        {PV_EVENT_ASSIGNMENT_SAVED, 1000, 1, 12,
         "The settings of HPLC system <6> were saved: type <9>, host \"<10>\" (before: type <7>, "
         "host \"<8>\").\r\nDriver settings file: <11>.\r\n\r\nChanged by "},
        {PV_EVENT_ADDRESS_CHANGED, 1001, 1, 13,
         "The adapter <6> changed its IP address from <7> to <8> (asked through the card <9>; "
         "outcome: <10>).\r\nForced past findings: <11>. Findings: <12>.\r\n\r\nChanged by "},
        {PV_EVENT_ADDRESS_NOT_CONFIRMED, 1002, 2, 13,
         "The adapter <6> did not confirm the change of its IP address from <7> to <8> (asked "
         "through the card <9>; outcome: <10>). "},
        {PV_EVENT_CHANGE_REFUSED, 1003, 3, 7,
         "A change was refused because its record could not be written: <6>.\r\nThe record of "
         "changes: <7>.\r\n\r\nAsked by "},
    };
    std::vector<std::wstring> samples;
    std::vector<DWORD_PTR> arguments;
    for (int i = 1; i <= 14; ++i)
        samples.push_back(L"<" + std::to_wstring(i) + L">");
    for (const std::wstring& sample : samples)
        arguments.push_back(reinterpret_cast<DWORD_PTR>(sample.c_str()));
    for (const Case& c : cases) {
        SCOPED_TRACE("event " + std::to_string(c.code));
        EXPECT_EQ(c.id & 0xFFFF, c.code);
        EXPECT_EQ(c.id >> 30, c.severity);
        wchar_t* buffer = nullptr;
        const DWORD length = ::FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                FORMAT_MESSAGE_ARGUMENT_ARRAY,
            exe, c.id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
            reinterpret_cast<LPWSTR>(&buffer), 0, reinterpret_cast<va_list*>(arguments.data()));
        ASSERT_GT(length, 0u) << "error " << ::GetLastError();
        const std::string text = WideToUtf8(std::wstring(buffer, length));
        ::LocalFree(buffer);
        EXPECT_EQ(text.rfind(c.start, 0), 0u) << text;
        const std::string by = " by <2> on <3> with <4> <5> at <1> (UTC).";
        const std::string reason = "\r\nReason: <" + std::to_string(c.strings) + ">";
        EXPECT_TRUE(text.ends_with(c.code == 1003 ? by : by + reason)) << text;
        EXPECT_EQ(text.find("<" + std::to_string(c.strings + 1) + ">"), std::string::npos);
    }
    ::FreeLibrary(exe);
}

// Reports one event of each kind; run by the test below, it shows what
// reaches the event log.
TEST(EventLogTest, ReportsEachKindOfChange) {
    ChangeRecord record;
    record.origin = {"2026-12-09T14:02:11.123Z", "LAB\\M\xC3\xBCller", "WS7", "pellvane-cli",
                     "1.0.1"};
    record.assignment = {2, "NONE", "", "TessikBox", "10.231.0.21", ""};
    EXPECT_TRUE(ReportChangeEvent(record));
    record.action = ChangeRecord::Action::kChangeAddress;
    record.address = {"00:0a:cd:01:02:03",
                      "10.231.0.21",
                      "10.231.0.40",
                      "10.231.0.1",
                      true,
                      true,
                      {"in use", "outside the subnet"}};
    record.reason = "bench 2 moved";
    EXPECT_TRUE(ReportChangeEvent(record));
    record.address.confirmed = record.address.forced = false;
    record.address.findings.clear();
    EXPECT_TRUE(ReportChangeEvent(record));
    EXPECT_TRUE(ReportRefusedChangeEvent(record.origin, "set-ip", "changes.jsonl is read-only"));
}

// Each event's type, ID and insertion strings in their order, as Wine's trace
// of ReportEventW shows them.
TEST(EventLogTest, TheReportedStringsReachTheEventLog) {
    char self[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    const EventTrace trace =
        RunWithEventTrace(self, {"--gtest_filter=EventLogTest.ReportsEachKindOfChange"});
    ASSERT_EQ(trace.exitCode, 0);
    const std::string origin =
        "2026-12-09T14:02:11.123Z|LAB\\M\xC3\xBCller|WS7|pellvane-cli|1.0.1|";
    const std::string address = "00:0a:cd:01:02:03|10.231.0.21|10.231.0.40|10.231.0.1|";
    const struct {
        unsigned type;
        unsigned long id;
        std::string strings;
    } expected[] = {
        {EVENTLOG_INFORMATION_TYPE, PV_EVENT_ASSIGNMENT_SAVED,
         origin + "2|NONE||TessikBox|10.231.0.21|none known|none given"},
        {EVENTLOG_INFORMATION_TYPE, PV_EVENT_ADDRESS_CHANGED,
         origin + address + "confirmed|yes|in use; outside the subnet|bench 2 moved"},
        {EVENTLOG_WARNING_TYPE, PV_EVENT_ADDRESS_NOT_CONFIRMED,
         origin + address + "not confirmed|no|none|bench 2 moved"},
        {EVENTLOG_ERROR_TYPE, PV_EVENT_CHANGE_REFUSED,
         origin + "set-ip|changes.jsonl is read-only"},
    };
    ASSERT_EQ(trace.events.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        std::string strings;
        for (const std::string& s : trace.events[i].strings)
            strings += (strings.empty() ? "" : "|") + s;
        EXPECT_EQ(trace.events[i].type, expected[i].type);
        EXPECT_EQ(trace.events[i].id, expected[i].id);
        EXPECT_EQ(strings, expected[i].strings);
    }
}

// Registered in the 64-bit view, where the event log service reads, with the
// Pellvane.exe beside the running program; a source already there stays.
TEST(EventLogTest, RegistersTheSourceOnlyWhereItIsMissing) {
    const char* key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Pellvane";
    auto value = [&](const char* name, DWORD type) {
        char data[MAX_PATH * 2] = {};
        DWORD size = sizeof(data) - 1;
        ::RegGetValueA(HKEY_LOCAL_MACHINE, key, name, type | RRF_SUBKEY_WOW6464KEY, nullptr, data,
                       &size);
        return type == RRF_RT_REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : data;
    };
    DeleteRegistryTree(key, KEY_WOW64_64KEY);
    std::string besideSelf(MAX_PATH, '\0');
    besideSelf.resize(::GetModuleFileNameA(nullptr, besideSelf.data(), MAX_PATH));
    besideSelf.replace(besideSelf.find_last_of('\\') + 1, std::string::npos, "Pellvane.exe");
    // Without a Pellvane.exe beside the program there is no message file.
    RegisterMissingEventSource();
    HKEY opened = nullptr;
    EXPECT_NE(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | KEY_WOW64_64KEY, &opened),
              ERROR_SUCCESS);
    HANDLE file =
        ::CreateFileA(besideSelf.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
    RegisterMissingEventSource();
    ::DeleteFileA(besideSelf.c_str());
    EXPECT_EQ(value("EventMessageFile", RRF_RT_REG_SZ), besideSelf);
    EXPECT_EQ(value("TypesSupported", RRF_RT_REG_DWORD), "7");

    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, "TypesSupported", REG_SZ, "1", 2);
    RegisterMissingEventSource();
    EXPECT_EQ(value("TypesSupported", RRF_RT_REG_SZ), "1");
    DeleteRegistryTree(key, KEY_WOW64_64KEY);
}
