// The change-address dialog under Wine and Xvfb, operated like a user by a
// driver thread while the test thread runs the windows modally, against the
// adapter simulator in the private test network.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/adapter_config_app.h"
#include "net/adapter_table.h"
#include "net/socket_api.h"
#include "tests/support/network_env.h"
#include "tests/support/record_folder.h"
#include "tests/support/sim_process.h"
#include "tests/ui/ui_driver.h"
#include "ui/adapter_config_dlg.h"
#include "ui/change_address_dlg.h"
#include "ui/resources/resource.h"

#include <commctrl.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kMainTitle[] = "Configuration of Tessik/AD";
constexpr char kDialogTitle[] = "Change IP Address";
const std::vector<std::string> kAdapters = {"--adapter", "10.231.0.21,00:1a:2b:cd:ef:01",
                                            "--adapter",
                                            "10.231.0.22,00:1a:2b:cd:ef:02,10.231.0.77"};
const std::string kRow0 = "10.231.0.21 | 00:1a:2b:cd:ef:01 | Ready";

std::vector<int> Buttons(std::initializer_list<int> ids) {
    return std::vector<int>(ids);
}

class ChangeAddressDialogTest : public testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        REQUIRE_PRIVATE_NETWORK();
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&controls);
        StartSocketLibrary();
        m_bLibraryStarted = true;
        m_app.m_strAppName = "Pellvane";
        ASSERT_TRUE(m_sim.Start(kAdapters)) << m_sim.GetLastError();
    }

    void TearDown() override {
        m_app.m_pAdapterTable = nullptr;
        m_app.m_pMainWnd = nullptr;
        m_sim.Stop();
        if (m_bLibraryStarted)
            StopSocketLibrary();
    }

    // Address-change requests the simulator has received since it started.
    int RequestsSent() const {
        std::string log = m_sim.ReadLog();
        int count = 0;
        for (size_t at = log.find(" len 28: "); at != std::string::npos;
             at = log.find(" len 28: ", at + 1))
            ++count;
        return count;
    }

    // Runs `script` on a driver thread while this thread runs `modal`; then
    // answers whatever boxes are left and cancels the dialogs, so a failed
    // script cannot leave the test waiting.
    void Drive(const std::function<void()>& modal,
               const std::function<void(ui::InputTracker&)>& script) {
        const DWORD uiThread = ::GetCurrentThreadId();
        std::thread driver([&] {
            [&] {
                ui::InputTracker tracker(uiThread);
                ASSERT_TRUE(tracker.IsInstalled());
                script(tracker);
            }();
            EXPECT_TRUE(ui::CloseThreadWindows(uiThread));
        });
        modal();
        driver.join();
    }

    // Clicks "Apply" and reads the message box that answers it.
    static ui::MessageBoxInfo Apply(HWND dialog) {
        ui::ClickItem(dialog, IDOK);
        HWND box = ui::WaitForMessageBox();
        EXPECT_NE(box, nullptr) << "no message box after Apply";
        return box ? ui::ReadMessageBox(box) : ui::MessageBoxInfo{};
    }

    static std::string Question(const char* from, const char* to) {
        return std::string("Change IP address from [") + from + "] to [" + to + "]?";
    }

    static std::string Warning(const char* to, const char* findings) {
        return std::string("The new address [") + to + "] has a problem:\n\n" + findings +
               "\n\nChange the address anyway?";
    }

    // The record of an address change of 00:1a:2b:cd:ef:02 from 10.231.0.22,
    // without the origin's values.
    static nlohmann::json ChangeOf(const char* to, const char* outcome,
                                   std::vector<std::string> findings) {
        return {{"program", "Pellvane"},      {"action", "change-address"},
                {"mac", "00:1a:2b:cd:ef:02"}, {"oldAddress", "10.231.0.22"},
                {"newAddress", to},           {"via", "10.231.0.1"},
                {"outcome", outcome},         {"forced", false},
                {"findings", findings}};
    }
    std::vector<nlohmann::json> RecordedChanges() const {
        std::vector<nlohmann::json> records = m_records.Records();
        for (nlohmann::json& record : records)
            for (const char* origin : {"time", "user", "workstation", "version"})
                record.erase(origin);
        return records;
    }

    CAdapterConfigApp m_app;
    SimulatorProcess m_sim;
    TemporaryRecordFolder m_records;
    bool m_bLibraryStarted = false;
};

TEST_F(ChangeAddressDialogTest, ChangeFromTheMainWindowUntilConfirmed) {
    CAdapterTable table;
    m_app.m_pAdapterTable = &table;
    CAdapterConfigDlg mainWindow;
    m_app.m_pMainWnd = &mainWindow;

    Drive(
        [&] { mainWindow.DoModal(); },
        [&](ui::InputTracker& tracker) {
            HWND main = ui::WaitForTopWindow(kMainTitle, ::GetCurrentProcessId());
            ASSERT_NE(main, nullptr);
            HWND list = ::GetDlgItem(main, IDC_ADAPTER_LIST);
            const std::string row1 = "10.231.0.22 | 00:1a:2b:cd:ef:02 | Controlled by 10.231.0.77";
            ASSERT_EQ(ui::ListRows(list), (std::vector<std::string>{kRow0, row1}));

            // The controlled adapter, so that its status shows it is kept.
            long released = tracker.Releases();
            ui::ClickAt(list, ui::RowCentre(list, 1));
            ASSERT_TRUE(tracker.WaitForReleases(released + 1, main));
            ui::ClickItem(main, IDC_SET_IP_ADDRESS);
            HWND dialog = ui::WaitForTopWindow(kDialogTitle, ::GetCurrentProcessId());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(ui::GetItemText(dialog, IDC_CURRENT_ADDRESS), "10.231.0.22");
            EXPECT_EQ(ui::GetItemText(dialog, IDC_MAC_ADDRESS), "00:1a:2b:cd:ef:02");
            EXPECT_EQ(ui::GetItemText(dialog, IDC_NEW_ADDRESS), "10.231.0.22");
            EXPECT_EQ(ui::FocusedWindow(dialog), ::GetDlgItem(dialog, IDC_NEW_ADDRESS));
            EXPECT_FALSE(::IsWindowEnabled(main)) << "the main window is not disabled";

            // Typing stops at 64 characters.
            ui::SetFieldText(dialog, IDC_NEW_ADDRESS, "");
            released = tracker.Releases();
            for (int i = 0; i < 65; ++i)
                ui::PressKey('7');
            ASSERT_TRUE(tracker.WaitForReleases(released + 65, dialog));
            EXPECT_EQ(ui::GetItemText(dialog, IDC_NEW_ADDRESS), std::string(64, '7'));

            // An empty field is refused before anything is asked or sent.
            ui::SetFieldText(dialog, IDC_NEW_ADDRESS, "");
            ui::MessageBoxInfo box = Apply(dialog);
            EXPECT_EQ(box.text, "Please specify the new IP address !");
            EXPECT_EQ(box.icon, ui::Icon::kWarning);
            EXPECT_EQ(box.buttons, Buttons({IDOK}));
            ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDOK));
            EXPECT_TRUE(::IsWindowVisible(dialog));

            // A number the socket library would read otherwise (033 is octal)
            // is refused before anything is asked or sent.
            ui::SetFieldText(dialog, IDC_NEW_ADDRESS, "10.231.0.033");
            box = Apply(dialog);
            EXPECT_EQ(box.text,
                      "Please enter the new IP address as four numbers from 0 to 255 separated "
                      "by dots, without leading zeros (for example 10.231.0.33).");
            EXPECT_EQ(box.icon, ui::Icon::kWarning);
            EXPECT_EQ(box.buttons, Buttons({IDOK}));
            ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDOK));
            EXPECT_TRUE(::IsWindowVisible(dialog));
            EXPECT_EQ(ui::GetItemText(dialog, IDC_NEW_ADDRESS), "10.231.0.033");

            // "No" sends nothing and keeps the typed text.
            ui::SetFieldText(dialog, IDC_NEW_ADDRESS, "10.231.0.122");
            box = Apply(dialog);
            EXPECT_EQ(box.text, Question("10.231.0.22", "10.231.0.122"));
            EXPECT_EQ(box.icon, ui::Icon::kQuestion);
            EXPECT_EQ(box.buttons, Buttons({IDYES, IDNO}));
            ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDNO));
            EXPECT_TRUE(::IsWindowVisible(dialog));
            EXPECT_EQ(ui::GetItemText(dialog, IDC_NEW_ADDRESS), "10.231.0.122");
            EXPECT_EQ(RequestsSent(), 0);

            // Without its record nothing is sent.
            const std::string root = m_records.Root();
            m_records.PointAt(root + "\\none");
            box = Apply(dialog);
            ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDYES));
            HWND refused = ui::WaitForMessageBox();
            ASSERT_NE(refused, nullptr);
            EXPECT_EQ(ui::ReadMessageBox(refused).text.rfind(
                          "The IP address was not changed: the change cannot be recorded in " +
                              root + "\\none\\Pellvane\\changes.jsonl: " + root +
                              "\\none\\Pellvane cannot be created: ",
                          0),
                      0u);
            ASSERT_TRUE(ui::AnswerMessageBox(refused, IDOK));
            EXPECT_TRUE(::IsWindowVisible(dialog));
            EXPECT_EQ(RequestsSent(), 0);
            m_records.PointAt(root);
            // As after any block long enough for Wine to restack the owner
            // (below): the dialog on top again, and ready for the next click.
            ::SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            ASSERT_TRUE(ui::WaitUntil([&] { return ::IsWindowEnabled(dialog) != FALSE; }));

            // No adapter answers: about a second, the failure notice, the
            // dialog stays with the typed text and nothing changes.
            m_sim.Stop();
            box = Apply(dialog);
            EXPECT_EQ(box.text, Question("10.231.0.22", "10.231.0.122"));
            auto asked = Clock::now();
            ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDYES));
            HWND failed = ui::WaitForMessageBox();
            double seconds = std::chrono::duration<double>(Clock::now() - asked).count();
            ASSERT_NE(failed, nullptr);
            box = ui::ReadMessageBox(failed);
            EXPECT_EQ(box.text, "Failed to change by the new IP Address !");
            EXPECT_EQ(box.icon, ui::Icon::kWarning);
            EXPECT_EQ(box.buttons, Buttons({IDOK}));
            EXPECT_GE(seconds, 0.8);
            ASSERT_TRUE(ui::AnswerMessageBox(failed, IDOK));
            EXPECT_TRUE(::IsWindowVisible(dialog));
            EXPECT_EQ(ui::GetItemText(dialog, IDC_NEW_ADDRESS), "10.231.0.122");
            EXPECT_EQ(ui::GetItemText(dialog, IDC_CURRENT_ADDRESS), "10.231.0.22");
            EXPECT_EQ(ui::ListCellText(list, 1, 0), "10.231.0.22");
            CString recorded;
            table.GetAt(1)->GetIpText(recorded);
            EXPECT_STREQ(recorded, "10.231.0.22") << "an unconfirmed address was recorded";
            EXPECT_EQ(RecordedChanges(),
                      std::vector<nlohmann::json>{ChangeOf("10.231.0.122", "not confirmed", {})});

            // The adapter is back: the question still names the old address,
            // the change (to the workstation's own name, which the private
            // network resolves to 10.231.0.1) is confirmed and the dialog closes.
            ASSERT_TRUE(m_sim.Start(kAdapters)) << m_sim.GetLastError();
            // Wine without a window manager may restack the disabled main
            // window above the dialog it owns after the second-long block;
            // Windows keeps an owned window above its owner, so restore that.
            ::SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            // That address is the workstation's own: the warning comes first,
            // and "Yes" goes on to the question.
            ui::SetFieldText(dialog, IDC_NEW_ADDRESS, "pellvane-ws");
            box = Apply(dialog);
            EXPECT_EQ(box.text, Warning("pellvane-ws", "same address as this workstation"));
            EXPECT_EQ(box.icon, ui::Icon::kWarning);
            EXPECT_EQ(box.buttons, Buttons({IDYES, IDNO}));
            ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDYES));
            HWND question = ui::WaitForMessageBox();
            ASSERT_NE(question, nullptr);
            box = ui::ReadMessageBox(question);
            EXPECT_EQ(box.text, Question("10.231.0.22", "pellvane-ws"));
            ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDYES));
            HWND changed = ui::WaitForMessageBox();
            ASSERT_NE(changed, nullptr);
            box = ui::ReadMessageBox(changed);
            EXPECT_EQ(box.text, "IP address has been changed! Power Off/On the Tessik/ADC.");
            EXPECT_EQ(box.icon, ui::Icon::kWarning);
            EXPECT_EQ(box.buttons, Buttons({IDOK}));
            ASSERT_TRUE(ui::AnswerMessageBox(changed, IDOK));
            EXPECT_TRUE(ui::WaitForWindowGone(dialog));
            ASSERT_TRUE(ui::WaitUntil([&] { return ::IsWindowEnabled(main) != FALSE; }));

            // Only the address of that row changes, to the address sent,
            // until the next "Update".
            const std::string changedRow =
                "10.231.0.1 | 00:1a:2b:cd:ef:02 | Controlled by 10.231.0.77";
            EXPECT_EQ(ui::ListRows(list), (std::vector<std::string>{kRow0, changedRow}));
            EXPECT_EQ(RequestsSent(), 1);
            EXPECT_NE(m_sim.ReadLog().find(" len 28: 50 52 55 58 20 49 46 43 4f 4e 46 49 47 00 00 "
                                           "00 0a e7 00 01 00 1a 2b cd ef 02 00 00\n"),
                      std::string::npos)
                << m_sim.ReadLog();
            // The address sent, and the finding the user was warned of.
            const std::vector<nlohmann::json> changes = RecordedChanges();
            ASSERT_EQ(changes.size(), 2u);
            EXPECT_EQ(changes[1],
                      ChangeOf("10.231.0.1", "confirmed", {"same address as this workstation"}));

            // The adapter answers the next discovery from its new address.
            released = tracker.Releases();
            ui::ClickItem(main, IDC_UPDATE);
            ASSERT_TRUE(tracker.WaitForReleases(released + 1, main));
            EXPECT_EQ(ui::ListRows(list), (std::vector<std::string>{kRow0, changedRow}));
        });
}

TEST_F(ChangeAddressDialogTest, RowWithoutRecordFailsAndStaysOpen) {
    // The table holds one adapter; the row claims a table index it does not have.
    CAdapterTable table;
    m_app.m_pAdapterTable = &table;
    AdapterRecord record = {};
    record.family = 2;
    const unsigned char address[4] = {10, 231, 0, 21};
    std::memcpy(&record.address, address, 4);
    table.Upsert(record);
    CChangeAddressDlg dialog(nullptr, SelectedAdapter{0, 1, "10.231.0.21", "00:00:00:00:00:00"});
    INT_PTR result = 0;

    Drive([&] { result = dialog.DoModal(); },
          [&](ui::InputTracker&) {
              HWND window = ui::WaitForTopWindow(kDialogTitle, ::GetCurrentProcessId());
              ASSERT_NE(window, nullptr);

              // The bold font on the three values; green values, a red field.
              for (int id : {IDC_CURRENT_ADDRESS, IDC_MAC_ADDRESS, IDC_NEW_ADDRESS})
                  EXPECT_EQ(reinterpret_cast<HFONT>(
                                ::SendMessageA(::GetDlgItem(window, id), WM_GETFONT, 0, 0)),
                            dialog.m_font.GetSafeHandle())
                      << id;
              HDC dc = ::CreateCompatibleDC(nullptr);
              auto colourFor = [&](UINT message, HWND control) {
                  ::SetTextColor(dc, RGB(1, 2, 3));
                  ::SendMessageA(window, message, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(control));
                  return ::GetTextColor(dc);
              };
              EXPECT_EQ(colourFor(WM_CTLCOLORSTATIC, ::GetDlgItem(window, IDC_CURRENT_ADDRESS)),
                        RGB(0, 96, 0));
              EXPECT_EQ(colourFor(WM_CTLCOLORSTATIC, ::GetDlgItem(window, IDC_MAC_ADDRESS)),
                        RGB(0, 96, 0));
              EXPECT_EQ(colourFor(WM_CTLCOLOREDIT, ::GetDlgItem(window, IDC_NEW_ADDRESS)),
                        RGB(255, 0, 0));
              EXPECT_NE(colourFor(WM_CTLCOLORSTATIC, ::GetDlgItem(window, IDOK)), RGB(0, 96, 0));
              ::DeleteDC(dc);

              ui::SetFieldText(window, IDC_NEW_ADDRESS, "10.231.0.121");
              ui::MessageBoxInfo box = Apply(window);
              EXPECT_EQ(box.text, Question("10.231.0.21", "10.231.0.121"));
              ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDYES));
              HWND failed = ui::WaitForMessageBox();
              ASSERT_NE(failed, nullptr);
              EXPECT_EQ(ui::ReadMessageBox(failed).text,
                        "Failed to change by the new IP Address !");
              ASSERT_TRUE(ui::AnswerMessageBox(failed, IDOK));
              EXPECT_TRUE(::IsWindowVisible(window));
              EXPECT_EQ(ui::GetItemText(window, IDC_NEW_ADDRESS), "10.231.0.121");

              ui::ClickItem(window, IDCANCEL);
              EXPECT_TRUE(ui::WaitForWindowGone(window));
          });

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.m_bChanged, 0);
    EXPECT_EQ(RequestsSent(), 0);
    CString recorded;
    table.GetAt(0)->GetIpText(recorded);
    EXPECT_STREQ(recorded, "10.231.0.21");
}

// An adapter still on an address of another subnet is drawn apart and
// tells why when the mouse rests on it; giving another adapter the address a
// third one has, or the subnet's broadcast address, is warned of, and "No"
// sends nothing.
TEST_F(ChangeAddressDialogTest, FindingsShowInTheListAndAreWarnedOfBeforeAChange) {
    m_sim.Stop();
    ASSERT_TRUE(m_sim.Start({"--adapter", "10.231.0.21,00:1a:2b:cd:ef:01", "--adapter",
                             "10.231.0.22,00:1a:2b:cd:ef:02", "--adapter",
                             "192.168.0.10,00:1a:2b:cd:ef:03"}))
        << m_sim.GetLastError();
    CAdapterTable table;
    m_app.m_pAdapterTable = &table;
    CAdapterConfigDlg mainWindow;
    m_app.m_pMainWnd = &mainWindow;

    Drive([&] { mainWindow.DoModal(); },
          [&](ui::InputTracker& tracker) {
              HWND main = ui::WaitForTopWindow(kMainTitle, ::GetCurrentProcessId());
              ASSERT_NE(main, nullptr);
              HWND list = ::GetDlgItem(main, IDC_ADAPTER_LIST);
              ASSERT_EQ(ui::ListRowCount(list), 3);
              const DWORD uiThread = ::GetWindowThreadProcessId(main, nullptr);
              auto shownTip = [&] {
                  for (HWND window : ui::ThreadWindows(uiThread)) {
                      char name[64] = {};
                      ::GetClassNameA(window, name, sizeof(name));
                      if (std::string(name) == TOOLTIPS_CLASSA)
                          return ui::GetText(window);
                  }
                  return std::string();
              };

              ui::MoveMouseTo(list, ui::RowCentre(list, 2));
              EXPECT_TRUE(ui::WaitUntil([&] {
                  return shownTip() == "not reachable from this workstation: outside 10.231.0.0/24";
              })) << "tip: \""
                  << shownTip() << "\"";
              // A row without findings has no tip.
              ui::MoveMouseTo(list, ui::RowCentre(list, 0));
              EXPECT_TRUE(ui::WaitUntil([&] { return shownTip().empty(); }));

              long released = tracker.Releases();
              ui::ClickAt(list, ui::RowCentre(list, 0));
              ASSERT_TRUE(tracker.WaitForReleases(released + 1, main));
              ui::ClickItem(main, IDC_SET_IP_ADDRESS);
              HWND dialog = ui::WaitForTopWindow(kDialogTitle, ::GetCurrentProcessId());
              ASSERT_NE(dialog, nullptr);
              ui::SetFieldText(dialog, IDC_NEW_ADDRESS, "10.231.0.22");
              ui::MessageBoxInfo box = Apply(dialog);
              EXPECT_EQ(box.text, Warning("10.231.0.22", "same address as 00:1a:2b:cd:ef:02"));
              EXPECT_EQ(box.icon, ui::Icon::kWarning);
              EXPECT_EQ(box.buttons, Buttons({IDYES, IDNO}));
              ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDNO));
              ASSERT_TRUE(tracker.Flush(dialog));
              EXPECT_EQ(ui::FindMessageBox(), nullptr) << "the change was asked for after No";
              EXPECT_TRUE(::IsWindowVisible(dialog));
              EXPECT_EQ(ui::GetItemText(dialog, IDC_NEW_ADDRESS), "10.231.0.22");

              // The subnet's broadcast address is no adapter's either.
              ui::SetFieldText(dialog, IDC_NEW_ADDRESS, "10.231.0.255");
              box = Apply(dialog);
              EXPECT_EQ(box.text,
                        Warning("10.231.0.255", "the broadcast address of 10.231.0.0/24"));
              ASSERT_TRUE(ui::AnswerMessageBox(box.hwnd, IDNO));
              EXPECT_EQ(RequestsSent(), 0);
          });
}

}  // namespace
