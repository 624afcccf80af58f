// The main configuration window, run modally on the test's main thread as
// start-up runs it, with a real adapter table discovering the simulator's
// adapters, while a driver thread operates it with real mouse and keyboard
// input. Each window start costs a two-second discovery, so each test walks
// through several related steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "app/adapter_config_app.h"
#include "tests/support/memory_settings_store.h"
#include "config/settings_store.h"
#include "net/adapter_table.h"
#include "net/socket_api.h"
#include "tests/support/network_env.h"
#include "tests/support/sim_process.h"
#include "tests/ui/stored_settings.h"
#include "tests/ui/ui_driver.h"  // windows.h first
#include "ui/adapter_config_dlg.h"
#include "ui/resources/resource.h"

#include <commctrl.h>

namespace {

const char kTitle[] = "Configuration of Tessik/AD";
const char kChangeTitle[] = "Change IP Address";
const char kQuestion[] = "Are you sure you want to save the current configuration ?";

// The simulator's adapters; MACs given in capitals, shown in lower case.
const char kAdapterA[] = "10.231.0.21,00:1A:2B:CD:EF:01";
const char kAdapterB[] = "10.231.0.22,00:1A:2B:CD:EF:02,10.231.0.77";
const char kAdapterC[] = "10.231.0.23,0A:BC:DE:F0:00:03";
const char kRowA[] = "10.231.0.21 | 00:1a:2b:cd:ef:01 | Ready";
const char kRowB[] = "10.231.0.22 | 00:1a:2b:cd:ef:02 | Controlled by 10.231.0.77";
const char kRowC[] = "10.231.0.23 | 0a:bc:de:f0:00:03 | Ready";
const char kAdapterD[] = "10.231.0.24,00:1A:2B:CD:EF:04";
const char kRowD[] = "10.231.0.24 | 00:1a:2b:cd:ef:04 | Ready";

using Rows = std::vector<std::string>;

// The main window as the driver thread sees it. Every operation returns once
// the window has handled it, or has opened a modal box or menu in doing so.
class MainWindow {
public:
    MainWindow(HWND hwnd, ui::InputTracker& tracker)
        : m_hWnd(hwnd), m_hList(::GetDlgItem(hwnd, IDC_ADAPTER_LIST)), m_tracker(tracker) {}

    HWND Hwnd() const { return m_hWnd; }
    HWND List() const { return m_hList; }
    bool IsOpen() const { return ::IsWindow(m_hWnd) && ::IsWindowVisible(m_hWnd); }
    int FocusId() const { return ::GetDlgCtrlID(ui::FocusedWindow(m_hWnd)); }
    std::string Text(int id) const { return ui::GetItemText(m_hWnd, id); }
    bool Checked(int id) const { return ui::IsChecked(m_hWnd, id); }
    bool Enabled(int id) const { return ui::IsEnabled(m_hWnd, id); }
    Rows ListRows() const { return ui::ListRows(m_hList); }

    bool Click(int id) {
        return Input(1, [&] { ui::ClickItem(m_hWnd, id); });
    }
    bool ClickRow(int row) {
        return Input(1, [&] { ui::ClickAt(m_hList, ui::RowCentre(m_hList, row)); });
    }
    bool ClickEmpty() {
        return Input(1, [&] { ui::ClickAt(m_hList, ui::EmptyListPoint(m_hList)); });
    }
    bool DoubleClickEmpty() {
        return Input(
            2, [&] { ui::ClickAt(m_hList, ui::EmptyListPoint(m_hList), ui::Button::kLeft, true); });
    }
    // A click on a control of another dialog of the window's thread.
    bool ClickIn(HWND dialog, int id) {
        return Input(1, [&] { ui::ClickItem(dialog, id); });
    }
    bool PressEnter() {
        return Input(1, [] { ui::PressKey(VK_RETURN); });
    }
    bool Press(WORD key, WORD modifier = 0) {
        return Input(1, [&] { ui::PressKey(key, modifier); });
    }
    // Characters typed on the keyboard into whatever has the focus.
    bool Type(const std::string& text) {
        long target = m_tracker.Releases() + static_cast<long>(text.size());
        if (!ui::TypeText(text)) {
            ADD_FAILURE() << "no keys type \"" << text << "\"";
            return false;
        }
        return m_tracker.WaitForReleases(target, m_hWnd);
    }
    int FocusedRow() const {
        return static_cast<int>(::SendMessageA(m_hList, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
    }
    RECT RowOnScreen(int row) const {
        RECT rect = {};
        rect.left = LVIR_BOUNDS;
        ::SendMessageA(m_hList, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
        ::MapWindowPoints(m_hList, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    // Right-clicks an empty part of the list and chooses the context menu's
    // item at `position` (0 "For System #1", 1 "For System #2", 2 "For Both").
    bool ChooseFromMenu(int position) {
        return ChooseFromMenuOpenedBy(position, [&] {
            ui::ClickAt(m_hList, ui::EmptyListPoint(m_hList), ui::Button::kRight);
        });
    }
    // The same with the menu opened by a key on the focused list; `menuRect`
    // receives where the menu was.
    bool ChooseFromMenuByKey(int position, WORD key, WORD modifier = 0, RECT* menuRect = nullptr) {
        return ChooseFromMenuOpenedBy(
            position, [&] { ui::PressKey(key, modifier); }, menuRect);
    }

    HWND WaitForBox() const { return ui::WaitForMessageBox("Pellvane"); }
    bool Answer(HWND box, int id) {
        return ui::AnswerMessageBox(box, id) && m_tracker.Flush(m_hWnd);
    }
    // The window has handled everything so far and shows no message box.
    bool ShowsNoBox() { return m_tracker.Flush(m_hWnd) && !ui::FindMessageBox("Pellvane"); }

private:
    // `open` is input with one button or key release.
    bool ChooseFromMenuOpenedBy(int position, const std::function<void()>& open,
                                RECT* menuRect = nullptr) {
        if (!Input(1, open)) {
            ADD_FAILURE() << "the input that opens the menu was not handled";
            return false;
        }
        HWND menu = ui::WaitForPopupMenu();
        if (!menu) {
            ADD_FAILURE() << "no context menu opened";
            return false;
        }
        if (menuRect)
            ::GetWindowRect(menu, menuRect);
        ui::PickMenuItem(menu, position);
        if (!ui::WaitUntil([&] { return !::IsWindow(menu) || !::IsWindowVisible(menu); })) {
            ADD_FAILURE() << "the context menu did not close";
            return false;
        }
        // The menu posted its command before it closed. A right click is
        // followed by WM_CONTEXTMENU as well, which must not open a second menu.
        if (!m_tracker.Flush(m_hWnd))
            return false;
        if (ui::FindPopupMenu()) {
            ADD_FAILURE() << "a second context menu opened";
            return false;
        }
        return true;
    }

    bool Input(long releases, const std::function<void()>& send) {
        long target = m_tracker.Releases() + releases;
        send();
        return m_tracker.WaitForReleases(target, m_hWnd);
    }

    HWND m_hWnd;
    HWND m_hList;
    ui::InputTracker& m_tracker;
};

void ExpectNotice(HWND box, const std::string& text) {
    ASSERT_NE(box, nullptr) << "no message box for: " << text;
    ui::MessageBoxInfo info = ui::ReadMessageBox(box);
    EXPECT_EQ(info.caption, "Pellvane");
    EXPECT_EQ(info.text, text);
    EXPECT_EQ(info.icon, ui::Icon::kWarning);
    EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
}

void ExpectQuestion(HWND box) {
    ASSERT_NE(box, nullptr) << "no save question";
    ui::MessageBoxInfo info = ui::ReadMessageBox(box);
    EXPECT_EQ(info.caption, "Pellvane");
    EXPECT_EQ(info.text, kQuestion);
    EXPECT_EQ(info.icon, ui::Icon::kQuestion);
    EXPECT_EQ(info.buttons, (std::vector<int>{IDYES, IDNO}));
}

// "Save && Exit" answered Yes; the notice that follows, if any.
HWND SaveAnsweredYes(MainWindow& window) {
    EXPECT_TRUE(window.Click(IDOK));
    HWND question = window.WaitForBox();
    ExpectQuestion(question);
    if (!question || !window.Answer(question, IDYES))
        return nullptr;
    return ui::FindMessageBox("Pellvane");  // the window has handled the answer
}

// A hanging modal window would otherwise stall the whole run.
void CloseWhatIsLeft(DWORD uiThread) {
    if (ui::CloseThreadWindows(uiThread))
        return;
    ADD_FAILURE() << "windows of the test were left open and could not be closed";
    std::fflush(stdout);
    ::ExitProcess(3);
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        REQUIRE_PRIVATE_NETWORK();
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&controls);
        stored::DeleteSystemKeys();
        m_pFolder = std::make_unique<stored::DriverFolder>();
        m_app.m_strAppName = "Pellvane";  // as the program file's name makes it
        StartSocketLibrary();
        m_bStarted = true;
    }

    void TearDown() override {
        m_sim.Stop();
        SetSettingsStore(nullptr);
        if (m_bStarted)
            StopSocketLibrary();
        m_pFolder.reset();
        stored::DeleteSystemKeys();
    }

    void StartAdapters(const std::vector<std::string>& adapters,
                       const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args;
        for (const std::string& adapter : adapters)
            args.insert(args.end(), {"--adapter", adapter});
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(m_sim.Start(args)) << m_sim.GetLastError();
    }

    // Start-up as the program runs it (configuration, adapter table, the
    // window modal on this thread) while `scenario` operates the window
    // from a second thread. Returns how the window ended.
    INT_PTR RunWindow(const std::function<void(MainWindow&)>& scenario) {
        m_app.LoadConfiguration();
        m_strAfterStartUp = Snapshot();
        CAdapterTable table;
        m_app.m_pAdapterTable = &table;
        INT_PTR result = -1;
        {
            CAdapterConfigDlg dialog;
            m_app.m_pMainWnd = &dialog;
            DWORD uiThread = ::GetCurrentThreadId();
            std::thread driver([&] {
                {
                    ui::InputTracker tracker(uiThread);
                    EXPECT_TRUE(tracker.IsInstalled());
                    HWND hwnd = ui::WaitForTopWindow(kTitle, ::GetCurrentProcessId());
                    if (hwnd) {
                        MainWindow window(hwnd, tracker);
                        scenario(window);
                    } else {
                        ADD_FAILURE() << "the main window did not appear";
                    }
                }
                CloseWhatIsLeft(uiThread);
            });
            result = dialog.DoModal();
            driver.join();
            m_app.m_pMainWnd = nullptr;
        }
        m_app.m_pAdapterTable = nullptr;
        return result;
    }

    // What the settings stores hold, byte for byte.
    std::string Snapshot() const { return stored::Snapshot(m_pFolder->IniPath()); }

    CAdapterConfigApp m_app;
    SimulatorProcess m_sim;
    std::unique_ptr<stored::DriverFolder> m_pFolder;
    bool m_bStarted = false;
    std::string m_strAfterStartUp;  // the snapshot once start-up had loaded the configuration
};

TEST_F(MainWindowTest, OpensOnExitWithSystem1StoredAndListsEveryAdapter) {
    stored::PutSystemKey(1, "TessikBox", "10.231.0.21");
    stored::PutSystemKey(2, "NONE", "");
    // Any save would add the system sections to this file.
    m_pFolder->WriteIni("[Columns]\r\nOven=40\r\n");
    StartAdapters({kAdapterA, kAdapterB, kAdapterC});

    RunWindow([&](MainWindow& window) {
        EXPECT_EQ(window.ListRows(), (Rows{kRowA, kRowB, kRowC}));

        EXPECT_TRUE(window.Checked(IDC_USE_SYSTEM1));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "10.231.0.21");
        EXPECT_TRUE(window.Enabled(IDC_HOST_SYSTEM1));
        EXPECT_FALSE(window.Checked(IDC_USE_SYSTEM2));
        EXPECT_FALSE(window.Enabled(IDC_USE_SYSTEM2));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM2), "");
        EXPECT_FALSE(window.Enabled(IDC_HOST_SYSTEM2));
        EXPECT_FALSE(window.Enabled(IDC_LABEL_SYSTEM2));
        // No longer than start-up reads back.
        for (int id : {IDC_HOST_SYSTEM1, IDC_HOST_SYSTEM2})
            EXPECT_EQ(::SendMessageA(::GetDlgItem(window.Hwnd(), id), EM_GETLIMITTEXT, 0, 0), 255);

        ASSERT_EQ(window.FocusId(), IDCANCEL) << "the focus is not on \"Exit\"";
        HWND exitButton = ::GetDlgItem(window.Hwnd(), IDCANCEL);
        bool exitIsDefault =
            (::SendMessageA(exitButton, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0;
        ASSERT_TRUE(window.PressEnter());
        if (exitIsDefault) {
            // Windows: the focused "Exit" is the button Enter presses.
            EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
        } else {
            // Wine's dialog manager presses the default command instead (the
            // focused button does not become the default one): "Save && Exit"
            // asks first, and No ends without saving.
            HWND box = window.WaitForBox();
            ExpectQuestion(box);
            ASSERT_TRUE(window.Answer(box, IDNO));
            EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
        }
    });

    EXPECT_EQ(Snapshot(), m_strAfterStartUp) << "a setting was written";
    EXPECT_STREQ(m_app.m_strHost[1], "10.231.0.21");
}

TEST_F(MainWindowTest, SaveChecksEachTickedSystemAndStoresWhatTheBoxesSay) {
    stored::PutSystemKey(1, "TessikBox", "10.231.0.21");
    stored::PutSystemKey(2, "TessikBox", "10.231.0.22");
    StartAdapters({kAdapterA, kAdapterB});

    INT_PTR result = RunWindow([&](MainWindow& window) {
        // System 2 shows its stored state: ticked, but the box cannot be
        // changed; its field can.
        EXPECT_TRUE(window.Checked(IDC_USE_SYSTEM2));
        EXPECT_FALSE(window.Enabled(IDC_USE_SYSTEM2));
        EXPECT_TRUE(window.Enabled(IDC_HOST_SYSTEM2));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM2), "10.231.0.22");
        ASSERT_TRUE(window.Click(IDC_USE_SYSTEM2));
        EXPECT_TRUE(window.Checked(IDC_USE_SYSTEM2)) << "a click changed the disabled box";

        // Both ticked and both empty: only system 1 is reported.
        ui::SetFieldText(window.Hwnd(), IDC_HOST_SYSTEM1, "");
        ui::SetFieldText(window.Hwnd(), IDC_HOST_SYSTEM2, "");
        ASSERT_TRUE(window.Click(IDOK));
        HWND box = window.WaitForBox();
        ExpectNotice(box, "Please specify the IP address for system #1 !");
        ASSERT_TRUE(window.Answer(box, IDOK));
        EXPECT_TRUE(window.ShowsNoBox());
        EXPECT_TRUE(window.IsOpen());

        ui::SetFieldText(window.Hwnd(), IDC_HOST_SYSTEM1, "10.231.0.30");
        ASSERT_TRUE(window.Click(IDOK));
        box = window.WaitForBox();
        ExpectNotice(box, "Please specify the IP address for system #2 !");
        ASSERT_TRUE(window.Answer(box, IDOK));
        EXPECT_TRUE(window.ShowsNoBox());
        EXPECT_TRUE(window.IsOpen());
        EXPECT_EQ(Snapshot(), m_strAfterStartUp) << "a refused save wrote a setting";

        // Clearing system 1's box keeps its text but saves it as unused; the
        // address of system 2 is stored as the field holds it.
        ASSERT_TRUE(window.Click(IDC_USE_SYSTEM1));
        EXPECT_FALSE(window.Checked(IDC_USE_SYSTEM1));
        EXPECT_FALSE(window.Enabled(IDC_HOST_SYSTEM1));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "10.231.0.30");
        ui::SetFieldText(window.Hwnd(), IDC_HOST_SYSTEM2, "10.231.0.31 ");
        ASSERT_TRUE(window.Click(IDOK));
        box = window.WaitForBox();
        ExpectQuestion(box);
        ASSERT_TRUE(window.Answer(box, IDYES));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });

    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(stored::ReadValue(1, "IFTYPE"), stored::StringBytes("NONE"));
    EXPECT_EQ(stored::ReadValue(1, "HOST"), stored::StringBytes(""));
    EXPECT_EQ(stored::ReadValue(2, "IFTYPE"), stored::StringBytes("TessikBox"));
    EXPECT_EQ(stored::ReadValue(2, "HOST"), stored::StringBytes("10.231.0.31 "));
    EXPECT_EQ(stored::ReadValue(2, "NAME"), stored::StringBytes("Controller"));
    EXPECT_EQ(m_pFolder->IniBytes(),
              "[SYSTEM-1]\r\nIFTYPE=NONE\r\nHOST=\r\nSamplingInterval=500\r\n"
              "[SYSTEM-2]\r\nIFTYPE=TessikBox\r\nHOST=10.231.0.31 \r\nSamplingInterval=500\r\n");
    EXPECT_STREQ(m_app.m_strHost[1], "");
    EXPECT_STREQ(m_app.m_strHost[2], "10.231.0.31 ");
}

TEST_F(MainWindowTest, RowTrackingDecidesWhatTheMenuAndSetIpAddressUse) {
    StartAdapters({kAdapterA, kAdapterB, kAdapterC});
    const DWORD uiThread = ::GetCurrentThreadId();

    INT_PTR result = RunWindow([&](MainWindow& window) {
        const std::vector<HWND> onlyMain = {window.Hwnd()};
        ASSERT_EQ(window.ListRows(), (Rows{kRowA, kRowB, kRowC}));
        EXPECT_FALSE(window.Checked(IDC_USE_SYSTEM1));
        EXPECT_FALSE(window.Enabled(IDC_HOST_SYSTEM1));

        // Nothing tracked yet: the menu opens on an empty part, and its
        // commands and "Set IP Address" do nothing.
        ASSERT_TRUE(window.ChooseFromMenu(2));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "");
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM2), "");
        ASSERT_TRUE(window.Click(IDC_SET_IP_ADDRESS));
        EXPECT_TRUE(window.ShowsNoBox());
        EXPECT_EQ(ui::ThreadWindows(uiThread), onlyMain);

        // A click on an empty part deselects the row, which stays tracked;
        // the disabled fields take the address as well.
        ASSERT_TRUE(window.ClickRow(1));
        EXPECT_TRUE(ui::IsRowSelected(window.List(), 1));
        ASSERT_TRUE(window.ClickEmpty());
        EXPECT_EQ(ui::SelectedRowCount(window.List()), 0);
        ASSERT_TRUE(window.ChooseFromMenu(0));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "10.231.0.22");
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM2), "");
        ASSERT_TRUE(window.ChooseFromMenu(1));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM2), "10.231.0.22");
        EXPECT_FALSE(window.Checked(IDC_USE_SYSTEM2));
        EXPECT_FALSE(window.Enabled(IDC_HOST_SYSTEM2));

        ASSERT_TRUE(window.Click(IDC_SET_IP_ADDRESS));
        HWND change = ui::WaitForTopWindow(kChangeTitle, ::GetCurrentProcessId());
        ASSERT_NE(change, nullptr) << "\"Set IP Address\" opened nothing for the tracked row";
        EXPECT_EQ(ui::GetItemText(change, IDC_CURRENT_ADDRESS), "10.231.0.22");
        EXPECT_EQ(ui::GetItemText(change, IDC_MAC_ADDRESS), "00:1a:2b:cd:ef:02");
        ASSERT_TRUE(window.ClickIn(change, IDCANCEL));
        ASSERT_TRUE(ui::WaitForWindowGone(change));

        // A double click on an empty part tracks no row.
        ASSERT_TRUE(window.ClickRow(2));
        ASSERT_TRUE(window.DoubleClickEmpty());
        ASSERT_TRUE(window.ChooseFromMenu(2));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "10.231.0.22");
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM2), "10.231.0.22");
        ASSERT_TRUE(window.Click(IDC_SET_IP_ADDRESS));
        EXPECT_TRUE(window.ShowsNoBox());
        EXPECT_EQ(ui::ThreadWindows(uiThread), onlyMain);

        // System 1 in use; system 2's box is clear, so its copied address is
        // saved as no adapter.
        ASSERT_TRUE(window.Click(IDC_USE_SYSTEM1));
        EXPECT_TRUE(window.Checked(IDC_USE_SYSTEM1));
        EXPECT_TRUE(window.Enabled(IDC_HOST_SYSTEM1));
        ASSERT_TRUE(window.Click(IDOK));
        HWND box = window.WaitForBox();
        ExpectQuestion(box);
        ASSERT_TRUE(window.Answer(box, IDYES));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });

    EXPECT_EQ(result, IDOK);
    // The 32-bit view, where the data system's driver reads.
    EXPECT_EQ(stored::ReadValue(1, "IFTYPE"), stored::StringBytes("TessikBox"));
    EXPECT_EQ(stored::ReadValue(1, "HOST"), stored::StringBytes("10.231.0.22"));
    EXPECT_EQ(stored::ReadValue(1, "NAME"), stored::StringBytes("Controller"));
    EXPECT_EQ(stored::ReadValue(2, "IFTYPE"), stored::StringBytes("NONE"));
    EXPECT_EQ(stored::ReadValue(2, "HOST"), stored::StringBytes(""));
    EXPECT_FALSE(stored::ExistsIn64BitView());
    EXPECT_EQ(m_pFolder->IniBytes(),
              "[SYSTEM-1]\r\nIFTYPE=TessikBox\r\nHOST=10.231.0.22\r\nSamplingInterval=500\r\n"
              "[SYSTEM-2]\r\nIFTYPE=NONE\r\nHOST=\r\nSamplingInterval=500\r\n");
}

TEST_F(MainWindowTest, ContextMenuKeyAndShiftF10OpenTheRowMenuAtTheFocusedRow) {
    StartAdapters({kAdapterA, kAdapterB, kAdapterC});

    RunWindow([&](MainWindow& window) {
        ASSERT_EQ(window.ListRows(), (Rows{kRowA, kRowB, kRowC}));
        // After "Update" the list has the focus but no row is focused: the
        // key opens nothing.
        ASSERT_TRUE(window.Click(IDC_UPDATE));
        ASSERT_EQ(window.FocusId(), IDC_ADAPTER_LIST);
        ASSERT_EQ(window.FocusedRow(), -1);
        ASSERT_TRUE(window.Press(VK_APPS));
        EXPECT_EQ(ui::FindPopupMenu(), nullptr) << "a menu opened without a focused row";

        // A double click on an empty part tracks no row, yet row 2 keeps the
        // focus: the key makes it the row the command applies to.
        ASSERT_TRUE(window.ClickRow(2));
        ASSERT_TRUE(window.DoubleClickEmpty());
        ASSERT_EQ(window.FocusedRow(), 2);
        RECT menu = {};
        ASSERT_TRUE(window.ChooseFromMenuByKey(0, VK_APPS, 0, &menu));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "10.231.0.23");
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM2), "");
        // At the row, not at the key's position -1, -1.
        RECT row = window.RowOnScreen(2);
        EXPECT_EQ(menu.top, row.bottom);
        EXPECT_GE(menu.left, row.left);
        EXPECT_LT(menu.left, row.right);

        ASSERT_TRUE(window.Press(VK_UP));
        ASSERT_EQ(window.FocusedRow(), 1);
        ASSERT_TRUE(window.ChooseFromMenuByKey(1, VK_F10, VK_SHIFT));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "10.231.0.23");
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM2), "10.231.0.22");

        ASSERT_TRUE(window.Click(IDCANCEL));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });
}

// The list searches its rows' addresses for what is typed into it; each test
// types into a fresh window, so no earlier key joins the search.
TEST_F(MainWindowTest, TypingTheStartOfAnAddressSelectsAndTracksThatRow) {
    StartAdapters({kAdapterA, kAdapterB, kAdapterC, kAdapterD});

    RunWindow([&](MainWindow& window) {
        ASSERT_EQ(window.ListRows(), (Rows{kRowA, kRowB, kRowC, kRowD}));
        // Typed in one batch, the characters make one search: the first from
        // the row after the clicked one (finding D), the longer texts from
        // the row found, around the end back to B.
        ASSERT_TRUE(window.ClickRow(2));
        ASSERT_EQ(window.FocusId(), IDC_ADAPTER_LIST);
        ASSERT_TRUE(window.Type("10.231.0.22"));
        EXPECT_EQ(window.FocusedRow(), 1);
        EXPECT_TRUE(ui::IsRowSelected(window.List(), 1));
        EXPECT_EQ(ui::SelectedRowCount(window.List()), 1);
        ASSERT_TRUE(window.ChooseFromMenu(0));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "10.231.0.22");

        ASSERT_TRUE(window.Click(IDCANCEL));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });
}

TEST_F(MainWindowTest, TypingWhatNoAddressStartsWithKeepsTheRowSetIpAddressActsOn) {
    StartAdapters({kAdapterA, kAdapterB, kAdapterC});

    RunWindow([&](MainWindow& window) {
        ASSERT_EQ(window.ListRows(), (Rows{kRowA, kRowB, kRowC}));
        ASSERT_TRUE(window.ClickRow(1));
        ASSERT_EQ(window.FocusId(), IDC_ADAPTER_LIST);
        ASSERT_TRUE(window.Type("z"));
        EXPECT_EQ(window.FocusedRow(), 1);
        EXPECT_TRUE(ui::IsRowSelected(window.List(), 1));
        EXPECT_EQ(ui::SelectedRowCount(window.List()), 1);

        ASSERT_TRUE(window.Click(IDC_SET_IP_ADDRESS));
        HWND change = ui::WaitForTopWindow(kChangeTitle, ::GetCurrentProcessId());
        ASSERT_NE(change, nullptr) << "\"Set IP Address\" opened nothing";
        EXPECT_EQ(ui::GetItemText(change, IDC_CURRENT_ADDRESS), "10.231.0.22");
        EXPECT_EQ(ui::GetItemText(change, IDC_MAC_ADDRESS), "00:1a:2b:cd:ef:02");
        ASSERT_TRUE(window.ClickIn(change, IDCANCEL));
        ASSERT_TRUE(ui::WaitForWindowGone(change));

        ASSERT_TRUE(window.Click(IDCANCEL));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });
}

TEST_F(MainWindowTest, UpdateKeepsEveryRowInPlaceAndFocusesTheList) {
    m_pFolder->WriteIni("[Columns]\r\nOven=40\r\n");
    StartAdapters({kAdapterA, kAdapterB, kAdapterC});

    INT_PTR result = RunWindow([&](MainWindow& window) {
        ASSERT_EQ(window.ListRows(), (Rows{kRowA, kRowB, kRowC}));
        ASSERT_TRUE(window.ClickRow(0));

        // Next time a new adapter answers first, B is no longer controlled
        // and C has stopped answering.
        m_sim.Stop();
        StartAdapters({kAdapterD, "10.231.0.22,00:1A:2B:CD:EF:02", kAdapterA, kAdapterC},
                      {"--silent", "0A:BC:DE:F0:00:03"});
        ASSERT_TRUE(window.Click(IDC_UPDATE));
        EXPECT_EQ(window.FocusId(), IDC_ADAPTER_LIST);
        EXPECT_EQ(window.ListRows(),
                  (Rows{kRowA, "10.231.0.22 | 00:1a:2b:cd:ef:02 | Ready", kRowC, kRowD}));
        EXPECT_EQ(ui::SelectedRowCount(window.List()), 0);
        // The tracked index outlives the refresh and still names adapter A.
        ASSERT_TRUE(window.ChooseFromMenu(0));
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "10.231.0.21");

        // With the focus on the list, Enter means "Save && Exit"; No ends
        // the window without saving.
        ASSERT_EQ(window.FocusId(), IDC_ADAPTER_LIST);
        ASSERT_TRUE(window.PressEnter());
        HWND box = window.WaitForBox();
        ExpectQuestion(box);
        ASSERT_TRUE(window.Answer(box, IDNO));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });

    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(Snapshot(), m_strAfterStartUp) << "a setting was written";
}

TEST_F(MainWindowTest, AFailedSaveNamesWhatWasNotSavedAndKeepsTheWindowOpen) {
    // The data system's folder is missing, and the settings keys start
    // readable only, as for a standard user.
    const std::string key1 = stored::SystemKey(1);
    // Memory runs out as system 2's save begins (its key opened after system
    // 1's values were written), once armed.
    class CStoreOutOfMemory : public CMemorySettingsStore {
    public:
        std::atomic<bool> m_bArmed{false};
        std::atomic<bool> m_bWrittenSinceArmed{false};
        bool OpenKey(LPCSTR path, KeyAccess access, SettingsKey* pKey) override {
            if (m_bArmed && m_bWrittenSinceArmed && std::string(path).back() == '2')
                throw std::bad_alloc();
            return CMemorySettingsStore::OpenKey(path, access, pKey);
        }
        bool SetStringValue(SettingsKey key, LPCSTR name, LPCSTR data, DWORD cbData) override {
            m_bWrittenSinceArmed = m_bArmed.load();
            return CMemorySettingsStore::SetStringValue(key, name, data, cbData);
        }
    } store;
    store.PutValue(key1, "HOST", kValueString, stored::StringBytes("10.231.0.21"));
    store.SetWinIniValue("Ploven", "LocalPath", "C:\\Lab\\Ploven");
    SetSettingsStore(&store);
    StartAdapters({kAdapterA});
    const std::string ini = "C:\\Lab\\Ploven\\qzdrv204.ini";
    store.SetRegistryWritable(false);
    INT_PTR result = RunWindow([&](MainWindow& window) {
        EXPECT_EQ(window.Text(IDC_HOST_SYSTEM1), "10.231.0.21");
        EXPECT_TRUE(window.Checked(IDC_USE_SYSTEM1));
        store.ClearJournal();
        ui::SetFieldText(window.Hwnd(), IDC_HOST_SYSTEM1, "10.231.0.40");

        HWND box = SaveAnsweredYes(window);
        ASSERT_NE(box, nullptr) << "no notice after a save that wrote nothing";
        ui::MessageBoxInfo info = ui::ReadMessageBox(box);
        EXPECT_EQ(info.icon, ui::Icon::kWarning);
        EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(info.text,
                  "The settings were not saved: saving them needs administrator rights.\n\n"
                  "Start Pellvane as administrator and save again.");
        ASSERT_TRUE(window.Answer(box, IDOK));
        EXPECT_TRUE(window.ShowsNoBox());
        EXPECT_TRUE(window.IsOpen());
        EXPECT_EQ(store.Journal(), std::vector<std::string>{});
        EXPECT_STREQ(m_app.m_strHost[1], "10.231.0.21") << "an unsaved host taken as saved";

        // The keys can be written again; only the driver file is reported.
        store.SetRegistryWritable(true);
        box = SaveAnsweredYes(window);
        ASSERT_NE(box, nullptr) << "no notice for the driver file";
        info = ui::ReadMessageBox(box);
        EXPECT_EQ(
            info.text,
            "The configuration could not be saved completely:\n"
            "- system #1: the driver file " +
                ini + "\n- system #2: the driver file " + ini +
                "\n\nSaved:\n- system #1: the registry settings\n"
                "- system #2: the registry settings\n\nCheck the access rights and save again.");
        ASSERT_TRUE(window.Answer(box, IDOK));
        EXPECT_TRUE(window.IsOpen());
        EXPECT_STREQ(m_app.m_strHost[1], "10.231.0.40");
        const CMemorySettingsStore::Value* host = store.FindValue(key1, "HOST");
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(host->bytes, stored::StringBytes("10.231.0.40"));

        // Memory runs out after system 1 was saved: the notice says which
        // settings were written and which were not.
        store.AddFolder("C:\\Lab\\Ploven");
        store.m_bArmed = true;
        ui::SetFieldText(window.Hwnd(), IDC_HOST_SYSTEM1, "10.231.0.41");
        box = SaveAnsweredYes(window);
        ASSERT_NE(box, nullptr) << "a save that ran out of memory passed in silence";
        EXPECT_EQ(ui::ReadMessageBox(box).text,
                  "The configuration could not be saved completely:\n"
                  "- system #2: the registry settings (not enough memory)\n"
                  "- system #2: the driver file " +
                      ini +
                      " (not enough memory)\n\n"
                      "Saved:\n- system #1: the registry settings\n- system #1: the driver file " +
                      ini + "\n\nClose other programs and save again.");
        ASSERT_TRUE(window.Answer(box, IDOK));
        EXPECT_TRUE(window.IsOpen());
        EXPECT_STREQ(m_app.m_strHost[1], "10.231.0.41");
        store.m_bArmed = false;

        // With memory and the folder the save completes and the window closes.
        EXPECT_EQ(SaveAnsweredYes(window), nullptr) << "a notice after a complete save";
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });

    EXPECT_EQ(result, IDOK);
    std::string value;
    EXPECT_TRUE(store.GetIniValue(ini, "SYSTEM-1", "HOST", &value));
    EXPECT_EQ(value, "10.231.0.41");
    EXPECT_TRUE(store.GetIniValue(ini, "SYSTEM-2", "IFTYPE", &value));
    EXPECT_EQ(value, "NONE");
}

}  // namespace
