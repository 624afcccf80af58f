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
#include <cmath>
#include <memory>
#include <new>
#include <regex>
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
#include "tests/support/record_folder.h"
#include "tests/ui/stored_settings.h"
#include "tests/ui/ui_driver.h"  // windows.h first
#include "ui/adapter_config_dlg.h"
#include "ui/high_contrast.h"
#include "ui/resources/resource.h"
#include "ui/status_text.h"

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
// Still on a factory address, outside the workstation's 10.231.0.1/24.
const char kAdapterFactory[] = "192.168.0.10,00:1A:2B:CD:EF:05";
const char kFactoryStatus[] =
    "192.168.0.10: not reachable from this workstation: outside 10.231.0.0/24";

// A summary with the time of day left open.
std::regex Summary(const std::string& before) {
    return std::regex(std::regex_replace(before, std::regex(R"([.()/])"), R"(\$&)") +
                      R"( at \d\d:\d\d:\d\d\.)");
}

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
    HWND StatusBar() const { return ::GetDlgItem(m_hWnd, IDC_STATUS_BAR); }
    std::string Status() const { return ui::GetText(StatusBar()); }
    // The image the list is given for a row's first column.
    int RowImage(int row) const {
        LVITEMA item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        ::SendMessageA(m_hList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    // A custom-draw request for `row` at `stage`, as the list sends it; what
    // the window answers, with the colours it leaves in `draw`.
    LRESULT CustomDraw(DWORD stage, int row, NMLVCUSTOMDRAW& draw) const {
        draw.nmcd.hdr = {m_hList, IDC_ADAPTER_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
        draw.nmcd.dwDrawStage = stage;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        return ::SendMessageA(m_hWnd, WM_NOTIFY, IDC_ADAPTER_LIST, reinterpret_cast<LPARAM>(&draw));
    }
    // The text colour the window gives a label on its colour request.
    COLORREF LabelColour(int id) const {
        HDC dc = ::CreateCompatibleDC(nullptr);
        ::SetTextColor(dc, kUntouched);
        ::SendMessageA(m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, id)));
        COLORREF colour = ::GetTextColor(dc);
        ::DeleteDC(dc);
        return colour;
    }
    static constexpr COLORREF kUntouched = RGB(1, 2, 3);

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
        SetHighContrastQuery(nullptr);
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
    TemporaryRecordFolder m_records;
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

    // One record per system, in the order saved.
    const std::vector<nlohmann::json> records = m_records.Records();
    ASSERT_EQ(records.size(), 2u);
    const char* const changes[][4] = {{"TessikBox", "10.231.0.21", "NONE", ""},
                                      {"TessikBox", "10.231.0.22", "TessikBox", "10.231.0.31 "}};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(records[i]["program"], "Pellvane");
        EXPECT_EQ(records[i]["action"], "assign");
        EXPECT_EQ(records[i]["system"], i + 1);
        EXPECT_EQ(records[i]["oldType"], changes[i][0]);
        EXPECT_EQ(records[i]["oldHost"], changes[i][1]);
        EXPECT_EQ(records[i]["newType"], changes[i][2]);
        EXPECT_EQ(records[i]["newHost"], changes[i][3]);
        EXPECT_EQ(records[i]["driverFile"], m_pFolder->IniPath());
        EXPECT_FALSE(records[i].contains("reason"));
    }
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
        // C is still listed, but the bar tells it did not answer.
        EXPECT_TRUE(std::regex_match(
            window.Status(),
            Summary("4 adapters listed (3 answered now). Searched through 10.231.0.1/24")))
            << window.Status();
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

        // The keys can be written again, but no record can be kept.
        store.SetRegistryWritable(true);
        const std::string root = m_records.Root();
        m_records.PointAt(root + "\\none");
        box = SaveAnsweredYes(window);
        ASSERT_NE(box, nullptr) << "no notice for a save without its record";
        // (The platform's reason follows.)
        EXPECT_EQ(ui::ReadMessageBox(box).text.rfind(
                      "The configuration was not saved: the change cannot be recorded in " + root +
                          "\\none\\Pellvane\\changes.jsonl: " + root +
                          "\\none\\Pellvane cannot be created: ",
                      0),
                  0u);
        ASSERT_TRUE(window.Answer(box, IDOK));
        EXPECT_TRUE(window.IsOpen());
        // (The rights check has made the missing key of system 2, as start-up would.)
        const CMemorySettingsStore::Value* unchanged = store.FindValue(key1, "HOST");
        ASSERT_NE(unchanged, nullptr);
        EXPECT_EQ(unchanged->bytes, stored::StringBytes("10.231.0.21"));
        EXPECT_STREQ(m_app.m_strHost[1], "10.231.0.21");
        m_records.PointAt(root);

        // Only the driver file is reported.
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

// The status text for each state; the time of day is the discovery's end.
TEST(StatusTextTest, SaysWhatTheDiscoveryFoundOrWhyItCouldNotSearch) {
    using State = StatusSummary::State;
    const InterfaceAddress lab = {htonl(0x0AE70001), htonl(0xFFFFFF00)};     // 10.231.0.1/24
    const InterfaceAddress office = {htonl(0xC0A80005), htonl(0xFFFF0000)};  // 192.168.0.5/16
    const InterfaceAddress alone = {htonl(0x0AE80001), 0xFFFFFFFF};          // 10.232.0.1/32
    const struct {
        StatusSummary summary;
        const char* text;
    } cases[] = {
        {{State::kSearching, {lab}, "", 3, 3, 1}, "Searching for adapters..."},
        {{State::kSearched, {lab, office}, "", 3, 3, 1, 14, 2, 11},
         "3 adapters listed, 1 with a problem. Searched through 10.231.0.1/24 and "
         "192.168.0.5/16 at 14:02:11."},
        {{State::kSearched, {lab}, "", 1, 1, 0, 9, 5, 0},
         "1 adapter listed. Searched through 10.231.0.1/24 at 09:05:00."},
        {{State::kSearched, {lab, office, alone}, "", 3, 2, 2, 23, 59, 59},
         "3 adapters listed (2 answered now), 2 with problems. Searched through 10.231.0.1/24, "
         "192.168.0.5/16 and 10.232.0.1/32 at 23:59:59."},
        // Not known how many answered: the count alone.
        {{State::kSearched, {lab}, "", 2, -1, 0, 8, 0, 0},
         "2 adapters listed. Searched through 10.231.0.1/24 at 08:00:00."},
        {{State::kSearched, {lab}, "", 0, 0, 0},
         "No adapter answered through 10.231.0.1/24. Are adapters on and cabled to it? See "
         "Troubleshooting."},
        {{State::kSearched, {lab, office}, "", 0, 0, 0},
         "No adapter answered through 10.231.0.1/24 and 192.168.0.5/16. Are adapters on and "
         "cabled to one of them? See Troubleshooting."},
        {{State::kNoUsableCard, {}, "no network card is up with an IPv4 address", 0, 0, 0},
         "No network card with an IPv4 address can be used: Pellvane cannot search. No network "
         "card is up with an IPv4 address."},
        {{State::kNoUsableCard, {}, "", 0, 0, 0},
         "No network card with an IPv4 address can be used: Pellvane cannot search."},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(ComposeStatusText(c.summary), c.text);
    EXPECT_STREQ(ComposeRowStatusText("172.16.0.5", "same address as this workstation"),
                 "172.16.0.5: same address as this workstation");
}

// Dark red text must still read as text on the rows' background: 4.5:1 by
// the WCAG formula.
TEST(StatusTextTest, FindingTextStandsOutFromTheRowsBackground) {
    auto luminance = [](COLORREF colour) {
        auto channel = [](int value) {
            double c = value / 255.0;
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(GetRValue(colour)) + 0.7152 * channel(GetGValue(colour)) +
               0.0722 * channel(GetBValue(colour));
    };
    double ratio = (luminance(kListTextBackground) + 0.05) / (luminance(kFindingText) + 0.05);
    EXPECT_GE(ratio, 4.5);
}

TEST_F(MainWindowTest, WithNoAdapterAnsweringTheStatusBarSaysWhatToCheck) {
    RunWindow([&](MainWindow& window) {
        EXPECT_EQ(window.ListRows(), Rows{});
        const std::string text =
            "No adapter answered through 10.231.0.1/24. Are adapters on and cabled to it? See "
            "Troubleshooting.";
        EXPECT_EQ(window.Status(), text);

        // Below the template's controls, which keep their places: the window
        // grew by the bar.
        HWND bar = window.StatusBar();
        RECT client = {}, barRect = {}, templ = {0, 0, 322, 222}, update = {7, 200, 77, 216};
        ::GetClientRect(window.Hwnd(), &client);
        ::GetWindowRect(bar, &barRect);
        ::MapWindowPoints(nullptr, window.Hwnd(), reinterpret_cast<POINT*>(&barRect), 2);
        ::MapDialogRect(window.Hwnd(), &templ);
        ::MapDialogRect(window.Hwnd(), &update);
        EXPECT_GT(barRect.bottom - barRect.top, 0);
        EXPECT_EQ(barRect.top, templ.bottom);
        EXPECT_EQ(barRect.bottom, client.bottom);
        EXPECT_EQ(barRect.right - barRect.left, client.right);
        RECT button = {};
        ::GetWindowRect(::GetDlgItem(window.Hwnd(), IDC_UPDATE), &button);
        ::MapWindowPoints(nullptr, window.Hwnd(), reinterpret_cast<POINT*>(&button), 2);
        EXPECT_TRUE(::EqualRect(&button, &update));

        // What to check fits the bar whole, beside the few pixels it leaves
        // at either end.
        constexpr int kBarMargins = 6;
        HDC dc = ::GetDC(bar);
        HGDIOBJ previous =
            ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(bar, WM_GETFONT, 0, 0)));
        SIZE size = {};
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        ::SelectObject(dc, previous);
        ::ReleaseDC(bar, dc);
        RECT part = {};
        ::SendMessageA(bar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part));
        EXPECT_LE(size.cx + kBarMargins, part.right - part.left) << "the text is cut";

        ASSERT_TRUE(window.Click(IDCANCEL));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });
}

// The workstation's one card has lost its address: nothing can be searched,
// although an adapter is on the wire.
TEST_F(MainWindowTest, WithoutACardAddressTheStatusBarSaysNothingCanBeSearched) {
    ASSERT_TRUE(m_sim.StartWithoutWorkstationAddress({"--adapter", kAdapterA}))
        << m_sim.GetLastError();
    RunWindow([&](MainWindow& window) {
        EXPECT_EQ(window.ListRows(), Rows{});
        EXPECT_EQ(window.Status(),
                  "No network card with an IPv4 address can be used: Pellvane cannot search. No "
                  "network card is up with an IPv4 address.");
        ASSERT_TRUE(window.Click(IDCANCEL));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });
}

// Without mouse or colour: the row found by typing carries the warning mark
// and the bar names its finding; the others have no mark.
TEST_F(MainWindowTest, ARowWithAFindingSelectedByKeyShowsItsMarkAndFindingInTheStatusBar) {
    StartAdapters({kAdapterA, kAdapterB, kAdapterC, kAdapterFactory});

    RunWindow([&](MainWindow& window) {
        ASSERT_EQ(ui::ListRowCount(window.List()), 4);
        const std::regex summary =
            Summary("4 adapters listed, 1 with a problem. Searched through 10.231.0.1/24");
        EXPECT_TRUE(std::regex_match(window.Status(), summary)) << window.Status();
        EXPECT_EQ(ui::ListCellText(window.List(), 3, 0), "192.168.0.10");
        EXPECT_EQ((std::vector<int>{window.RowImage(0), window.RowImage(1), window.RowImage(2),
                                    window.RowImage(3)}),
                  (std::vector<int>{I_IMAGENONE, I_IMAGENONE, I_IMAGENONE, 0}));
        auto marks = reinterpret_cast<HIMAGELIST>(
            ::SendMessageA(window.List(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
        ASSERT_NE(marks, nullptr);
        int width = 0, height = 0;
        ImageList_GetIconSize(marks, &width, &height);
        EXPECT_EQ(width, ::GetSystemMetrics(SM_CXSMICON));
        EXPECT_EQ(ImageList_GetImageCount(marks), 1);

        ASSERT_TRUE(window.Click(IDC_UPDATE));
        ASSERT_EQ(window.FocusId(), IDC_ADAPTER_LIST);
        ASSERT_TRUE(window.Type("192"));
        ASSERT_EQ(window.FocusedRow(), 3);
        EXPECT_EQ(window.Status(), kFactoryStatus);
        // A row without findings: the summary again.
        ASSERT_TRUE(window.Press(VK_UP));
        ASSERT_EQ(window.FocusedRow(), 2);
        EXPECT_TRUE(std::regex_match(window.Status(), summary)) << window.Status();

        ASSERT_TRUE(window.Click(IDCANCEL));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });
}

// High contrast on, as the system announces a change: every colour is the
// system's, while the mark and the status bar still tell the finding.
TEST_F(MainWindowTest, HighContrastLeavesEveryColourToTheSystem) {
    StartAdapters({kAdapterA, kAdapterFactory});
    static std::atomic<bool> s_bHighContrast{false};
    SetHighContrastQuery([] { return s_bHighContrast.load(); });

    RunWindow([&](MainWindow& window) {
        ASSERT_EQ(ui::ListRowCount(window.List()), 2);
        HWND list = window.List();
        auto listColours = [&] {
            return std::vector<COLORREF>{
                static_cast<COLORREF>(::SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0)),
                static_cast<COLORREF>(::SendMessageA(list, LVM_GETTEXTBKCOLOR, 0, 0)),
                static_cast<COLORREF>(::SendMessageA(list, LVM_GETBKCOLOR, 0, 0))};
        };
        const std::vector<COLORREF> specified = {RGB(0, 0, 0), RGB(184, 176, 160),
                                                 RGB(196, 196, 196)};
        EXPECT_EQ(listColours(), specified);
        NMLVCUSTOMDRAW draw = {};
        EXPECT_EQ(window.CustomDraw(CDDS_PREPAINT, 0, draw), CDRF_NOTIFYITEMDRAW);
        draw.clrText = draw.clrTextBk = MainWindow::kUntouched;
        EXPECT_EQ(window.CustomDraw(CDDS_ITEMPREPAINT, 1, draw), CDRF_NEWFONT);
        EXPECT_EQ(draw.clrText, kFindingText);
        EXPECT_EQ(window.LabelColour(IDC_LABEL_SYSTEM1), RGB(0, 0, 96));

        s_bHighContrast = true;
        ::SendMessageA(window.Hwnd(), WM_SYSCOLORCHANGE, 0, 0);
        EXPECT_EQ(listColours(),
                  (std::vector<COLORREF>{CLR_DEFAULT, CLR_DEFAULT, ::GetSysColor(COLOR_WINDOW)}));
        EXPECT_EQ(window.CustomDraw(CDDS_PREPAINT, 0, draw), CDRF_DODEFAULT);
        draw.clrText = draw.clrTextBk = MainWindow::kUntouched;
        EXPECT_EQ(window.CustomDraw(CDDS_ITEMPREPAINT, 1, draw), CDRF_DODEFAULT);
        EXPECT_EQ(draw.clrText, MainWindow::kUntouched);
        EXPECT_EQ(draw.clrTextBk, MainWindow::kUntouched);
        EXPECT_EQ(window.LabelColour(IDC_LABEL_SYSTEM1), ::GetSysColor(COLOR_WINDOWTEXT));
        EXPECT_EQ(window.RowImage(1), 0);
        ASSERT_TRUE(window.ClickRow(1));
        EXPECT_EQ(window.Status(), kFactoryStatus);

        // Off again, announced as a changed setting.
        s_bHighContrast = false;
        ::SendMessageA(window.Hwnd(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        EXPECT_EQ(listColours(), specified);
        draw.clrText = MainWindow::kUntouched;
        EXPECT_EQ(window.CustomDraw(CDDS_ITEMPREPAINT, 1, draw), CDRF_NEWFONT);
        EXPECT_EQ(draw.clrText, kFindingText);

        ASSERT_TRUE(window.Click(IDCANCEL));
        EXPECT_TRUE(ui::WaitForWindowGone(window.Hwnd()));
    });
}

}  // namespace
