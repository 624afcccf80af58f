// Pellvane.exe as a user runs it: started under Wine in the private test
// network with simulated adapters, and operated through its window from this
// separate program with real mouse input.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/hardening/planted_folder.h"
#include "tests/support/network_env.h"
#include "tests/support/sim_process.h"
#include "tests/support/record_folder.h"
#include "tests/ui/stored_settings.h"
#include "tests/ui/ui_driver.h"
#include "ui/resources/resource.h"

#include <commctrl.h>

#ifndef PELLVANE_EXE_PATH
#error "PELLVANE_EXE_PATH must name Pellvane.exe"
#endif

namespace {

const char kTitle[] = "Configuration of Tessik/AD";
constexpr DWORD kStartMs = 60000;  // a first Wine start of the program can be slow

// The build names a Unix path; under Wine the Unix root is drive Z:.
std::string ProgramPath() {
    std::string path = PELLVANE_EXE_PATH;
    if (!path.empty() && path[0] == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path.insert(0, "Z:");
    }
    return path;
}

// The DPI that Wine gives the programs started from now on; what the prefix
// had before is put back when this goes, a failed test included.
class ScreenDpi {
public:
    explicit ScreenDpi(DWORD dpi) {
        DWORD size = sizeof(m_dwBefore);
        m_bHadValue = ::RegGetValueA(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr,
                                     &m_dwBefore, &size) == ERROR_SUCCESS;
        EXPECT_EQ(Set(dpi), ERROR_SUCCESS);
    }
    ~ScreenDpi() {
        if (m_bHadValue)
            Set(m_dwBefore);
        else
            ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, kValue);
    }

private:
    static LONG Set(DWORD dpi) {
        return ::RegSetKeyValueA(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &dpi, sizeof(dpi));
    }
    static constexpr char kKey[] = "Control Panel\\Desktop";
    static constexpr char kValue[] = "LogPixels";
    bool m_bHadValue = false;
    DWORD m_dwBefore = 0;
};

class ProgramWindowTest : public testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        REQUIRE_PRIVATE_NETWORK();
        stored::DeleteSystemKeys();
        m_pFolder = std::make_unique<stored::DriverFolder>();
    }

    void TearDown() override {
        EndProgram();
        m_sim.Stop();
        m_pFolder.reset();
        stored::DeleteSystemKeys();
    }

    void StartAdapters(const std::vector<std::string>& adapters) {
        std::vector<std::string> args;
        for (const std::string& adapter : adapters)
            args.insert(args.end(), {"--adapter", adapter});
        ASSERT_TRUE(m_sim.Start(args)) << m_sim.GetLastError();
    }

    // Starts Pellvane.exe (the build's or a copy at `program`) and waits for
    // its main window, shown once the first discovery has ended.
    HWND StartProgram(const std::string& arguments, const std::string& program = ProgramPath()) {
        std::string commandLine = "\"" + program + "\"" + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, nullptr, &startup, &info)) {
            ADD_FAILURE() << "cannot start " << program << " (error " << ::GetLastError() << ")";
            return nullptr;
        }
        ::CloseHandle(info.hThread);
        m_process = info;
        HWND window = ui::WaitForTopWindow(kTitle, info.dwProcessId, kStartMs);
        EXPECT_NE(window, nullptr) << "Pellvane's window did not appear";
        return window;
    }

    // The program's exit code once it has ended; -1 if it is still running.
    long WaitForExit() {
        if (::WaitForSingleObject(m_process.hProcess, ui::kWaitMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<long>(code);
    }

    // Ends the program if it still runs (after a failure: nothing may outlive
    // the test) and lets it go.
    void EndProgram() {
        if (!m_process.hProcess)
            return;
        if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_process.hProcess, 99);
        ::WaitForSingleObject(m_process.hProcess, 10000);
        ::CloseHandle(m_process.hProcess);
        m_process = {};
    }

    std::string Snapshot() const { return stored::Snapshot(m_pFolder->IniPath()); }

    SimulatorProcess m_sim;
    std::unique_ptr<stored::DriverFolder> m_pFolder;
    TemporaryRecordFolder m_records;  // the program inherits it
    PROCESS_INFORMATION m_process = {};
};

TEST_F(ProgramWindowTest, ExitEndsWithCodeZeroAndWritesNothing) {
    // The settings as an earlier run left them.
    stored::PutSystemKey(1, "TessikBox", "10.231.0.21");
    stored::PutSystemKey(2, "NONE", "");
    m_pFolder->WriteIni(
        "[SYSTEM-1]\r\nIFTYPE=TessikBox\r\nHOST=10.231.0.21\r\nSamplingInterval=250\r\n"
        "[SYSTEM-2]\r\nIFTYPE=NONE\r\nHOST=\r\nSamplingInterval=500\r\n");
    const std::string before = Snapshot();
    StartAdapters({"10.231.0.21,00:1A:2B:CD:EF:01", "10.231.0.22,00:1A:2B:CD:EF:02,10.231.0.77",
                   "10.231.0.23,0A:BC:DE:F0:00:03"});

    // Arguments are not interpreted.
    HWND window = StartProgram(" extra --arguments /s");
    ASSERT_NE(window, nullptr);
    HWND list = ::GetDlgItem(window, IDC_ADAPTER_LIST);
    EXPECT_EQ(ui::ListRowCount(list), 3);
    EXPECT_EQ(ui::GetItemText(window, IDC_HOST_SYSTEM1), "10.231.0.21");
    EXPECT_TRUE(ui::IsChecked(window, IDC_USE_SYSTEM1));

    ui::ClickItem(window, IDCANCEL);
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(Snapshot(), before) << "a setting was written";
    EXPECT_EQ(m_records.Records().size(), 0u) << "a change was recorded";
}

TEST_F(ProgramWindowTest, SaveAndExitAnsweredYesStoresTheAssignment) {
    StartAdapters({"10.231.0.21,00:1A:2B:CD:EF:01", "10.231.0.22,00:1A:2B:CD:EF:02"});

    HWND window = StartProgram("");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ui::ListRowCount(::GetDlgItem(window, IDC_ADAPTER_LIST)), 2);

    ASSERT_FALSE(ui::IsChecked(window, IDC_USE_SYSTEM1));
    ui::ClickItem(window, IDC_USE_SYSTEM1);
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsEnabled(window, IDC_HOST_SYSTEM1); }));
    ui::SetFieldText(window, IDC_HOST_SYSTEM1, "10.231.0.22");

    ui::ClickItem(window, IDOK);
    HWND box = ui::WaitForMessageBox("Pellvane", m_process.dwProcessId);
    ASSERT_NE(box, nullptr) << "no question captioned \"Pellvane\", the program file's name";
    ui::MessageBoxInfo info = ui::ReadMessageBox(box);
    EXPECT_EQ(info.text, "Are you sure you want to save the current configuration ?");
    EXPECT_EQ(info.buttons, (std::vector<int>{IDYES, IDNO}));
    ASSERT_TRUE(ui::AnswerMessageBox(box, IDYES));
    EXPECT_EQ(WaitForExit(), 0);

    EXPECT_EQ(stored::ReadValue(1, "IFTYPE"), stored::StringBytes("TessikBox"));
    EXPECT_EQ(stored::ReadValue(1, "HOST"), stored::StringBytes("10.231.0.22"));
    EXPECT_EQ(stored::ReadValue(1, "NAME"), stored::StringBytes("Controller"));
    EXPECT_EQ(stored::ReadValue(2, "IFTYPE"), stored::StringBytes("NONE"));
    EXPECT_EQ(stored::ReadValue(2, "HOST"), stored::StringBytes(""));
    EXPECT_EQ(m_pFolder->IniBytes(),
              "[SYSTEM-1]\r\nIFTYPE=TessikBox\r\nHOST=10.231.0.22\r\nSamplingInterval=500\r\n"
              "[SYSTEM-2]\r\nIFTYPE=NONE\r\nHOST=\r\nSamplingInterval=500\r\n");
    // System 2 kept its type and host: only system 1's change is on record.
    const std::vector<nlohmann::json> records = m_records.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["program"], "Pellvane");
    EXPECT_EQ(records[0]["system"], 1);
    EXPECT_EQ(records[0]["newHost"], "10.231.0.22");
}

// Started from a downloads folder that also holds a planted IPHLPAPI.DLL,
// which Wine is told to prefer: the window lists the adapters, and the
// planted library is never loaded.
TEST_F(ProgramWindowTest, StartedBesideAPlantedLibraryNeverLoadsIt) {
    StartAdapters({"10.231.0.21,00:1A:2B:CD:EF:01", "10.231.0.22,00:1A:2B:CD:EF:02"});
    PlantedFolder downloads(PELLVANE_EXE_PATH);
    ASSERT_TRUE(downloads.IsReady()) << downloads.GetLastError();
    ASSERT_TRUE(downloads.StandInIsPreferred()) << "the stand-in would not be loaded anyway";

    if (HWND window = StartProgram("", downloads.ProgramPath())) {
        EXPECT_EQ(ui::ListRowCount(::GetDlgItem(window, IDC_ADAPTER_LIST)), 2);
        ui::ClickItem(window, IDCANCEL);
        EXPECT_EQ(WaitForExit(), 0);
    }
    EXPECT_EQ(downloads.LoadedBy(), "") << "the planted library was loaded";
}

// The program sizes its list columns for the display's DPI, which Wine reads
// when a program starts: 120, 120 and 200 pixels at 96 DPI, and above it wide
// enough for every heading and cell, widest addresses included, in the
// larger font.
TEST_F(ProgramWindowTest, ListColumnsGrowWithTheDpiSoEveryTextFits) {
    StartAdapters(
        {"192.168.200.254,00:1B:2C:DD:EE:08,192.168.200.253", "10.231.0.21,00:1A:2B:CD:EF:01"});
    const std::vector<std::string> columnTexts[] = {
        {"IP Address", "192.168.200.254", "10.231.0.21"},
        {"MAC Address", "00:1b:2c:dd:ee:08", "00:1a:2b:cd:ef:01"},
        {"Status", "Controlled by 192.168.200.253", "Ready"}};
    // What the list leaves beside a text, 6 pixels on either side at any DPI.
    constexpr int kMargins = 12;
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
        ScreenDpi scaled(static_cast<DWORD>(dpi));
        HWND window = StartProgram("");
        ASSERT_NE(window, nullptr);
        HWND list = ::GetDlgItem(window, IDC_ADAPTER_LIST);
        ASSERT_EQ(ui::ListRowCount(list), 2);
        std::vector<int> widths;
        for (int column = 0; column < 3; ++column)
            widths.push_back(static_cast<int>(::SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)));
        if (dpi == 96) {
            EXPECT_EQ(widths, (std::vector<int>{120, 120, 200}));
        } else {
            for (int column = 0; column < 3; ++column) {
                for (const std::string& text : columnTexts[column]) {
                    int width = ui::ListStringWidth(list, text);
                    ASSERT_GT(width, 0) << text;
                    EXPECT_LE(width + kMargins, widths[column]) << '"' << text << "\" is cut";
                }
            }
        }
        ui::ClickItem(window, IDCANCEL);
        EXPECT_EQ(WaitForExit(), 0);
        EndProgram();
    }
}

}  // namespace
