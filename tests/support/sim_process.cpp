#include "tests/support/sim_process.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include "tests/support/process_text.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#ifndef PELLVANE_ADAPTER_SIM_PATH
#error "PELLVANE_ADAPTER_SIM_PATH must name the adapter_sim program"
#endif
#if !defined(PELLVANE_SEGMENT_SIM_PATH) || !defined(PELLVANE_LAB_SEGMENT_SCRIPT) || \
    !defined(PELLVANE_LAB_SECOND_ADDRESS_SCRIPT) || !defined(PELLVANE_LAB_NO_ADDRESS_SCRIPT)
#error \
    "PELLVANE_SEGMENT_SIM_PATH and the PELLVANE_LAB_*_SCRIPT definitions must name the scripted simulator's programs"
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// A Wine start of the simulator can take a few seconds on a busy machine.
constexpr auto kReadyTimeout = std::chrono::seconds(30);
#else
constexpr auto kReadyTimeout = std::chrono::seconds(10);
#endif
constexpr auto kPollInterval = std::chrono::milliseconds(20);

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

}  // namespace

std::string SimulatorProcess::GetExecutablePath() {
    return PlatformPath(PELLVANE_ADAPTER_SIM_PATH);
}

SimulatorProcess::SimulatorProcess() = default;

SimulatorProcess::~SimulatorProcess() {
    Stop();
    RemoveWorkDir();
}

bool SimulatorProcess::MakeWorkDir() {
    static unsigned counter = 0;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
#ifdef _WIN32
    // Files the Unix side of a script reads and writes: in a folder both
    // sides can name.
    if (m_bScripted)
        base = "Z:\\tmp";
#endif
    if (ec) {
        m_strError = "no temporary directory: " + ec.message();
        return false;
    }
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir = base / ("pv-sim-" + std::to_string(CurrentProcessId()) + "-" +
                           std::to_string(++counter) + "-" + std::to_string(ticks));
    if (!fs::create_directories(dir, ec)) {
        m_strError = "cannot create " + dir.string() + ": " + ec.message();
        return false;
    }
    m_strWorkDir = dir.string();
    return true;
}

void SimulatorProcess::RemoveWorkDir() {
    if (m_strWorkDir.empty())
        return;
    std::error_code ec;
    fs::remove_all(m_strWorkDir, ec);
    m_strWorkDir.clear();
}

bool SimulatorProcess::Start(const std::vector<std::string>& args) {
    return StartIn(args, Placement::kDirect);
}

bool SimulatorProcess::StartOnSecondSegment(const std::vector<std::string>& args) {
    return StartIn(args, Placement::kSecondSegment);
}

bool SimulatorProcess::StartBesideSecondAddress(const std::vector<std::string>& args) {
    return StartIn(args, Placement::kSecondAddress);
}

bool SimulatorProcess::StartWithoutWorkstationAddress(const std::vector<std::string>& args) {
    return StartIn(args, Placement::kNoWorkstationAddress);
}

bool SimulatorProcess::StartIn(const std::vector<std::string>& args, Placement placement) {
    Stop();
    RemoveWorkDir();
    m_strError.clear();
    m_strLogPath.clear();
    m_bScripted = placement != Placement::kDirect;
    if (!MakeWorkDir())
        return false;

    std::vector<std::string> fullArgs = args;
    auto logOption = std::find(args.begin(), args.end(), "--log");
    if (logOption != args.end() && logOption + 1 != args.end()) {
        m_strLogPath = *(logOption + 1);
    } else {
        m_strLogPath = (fs::path(m_strWorkDir) / "sim.log").string();
        fullArgs.insert(fullArgs.end(), {"--log", m_strLogPath});
    }
    const std::string readyFile = (fs::path(m_strWorkDir) / "ready").string();
    fullArgs.insert(fullArgs.end(), {"--ready-file", readyFile});

    std::string program = GetExecutablePath();
    if (m_bScripted) {
        const std::string simulator = PELLVANE_SEGMENT_SIM_PATH;
        if (!FileExists(PlatformPath(simulator))) {
            m_strError = "no native simulator at " + simulator + " (build the native preset)";
            return false;
        }
        for (std::string& arg : fullArgs)
            arg = UnixPath(arg);
        fullArgs.insert(fullArgs.begin(), {UnixPath(m_strWorkDir), simulator});
        program = PlatformPath(placement == Placement::kSecondSegment ? PELLVANE_LAB_SEGMENT_SCRIPT
                               : placement == Placement::kSecondAddress
                                   ? PELLVANE_LAB_SECOND_ADDRESS_SCRIPT
                                   : PELLVANE_LAB_NO_ADDRESS_SCRIPT);
    }
    if (!Spawn(program, fullArgs))
        return false;

    const auto deadline = std::chrono::steady_clock::now() + kReadyTimeout;
    for (;;) {
        std::error_code ec;
        if (fs::exists(readyFile, ec))
            return true;
        if (m_bScripted ? FileExists(EndedFile()) : HasExited()) {
            m_strError = "the simulator ended before binding its socket (see its error output)";
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            Stop();
            m_strError = "the simulator did not become ready in time";
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::string SimulatorProcess::EndedFile() const {
    return (fs::path(m_strWorkDir) / "ended").string();
}

void SimulatorProcess::Stop() {
    if (!m_bRunning)
        return;
    if (m_bScripted) {
        // Asked rather than killed: the script undoes what it changed.
        std::ofstream((fs::path(m_strWorkDir) / "stop").string()) << "stop\n";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!FileExists(EndedFile()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(kPollInterval);
    }
    Kill();
}

std::string SimulatorProcess::ReadLog() const {
    std::ifstream file(m_strLogPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

#ifdef _WIN32

bool SimulatorProcess::Spawn(const std::string& program, const std::vector<std::string>& args) {
    std::string commandLine = QuoteArgument(program);
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += QuoteArgument(arg);
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    // Room past the record: Wine 8 writes more than a 32-bit record's size
    // when a 32-bit program starts a Unix script, and fills it with garbage.
    struct {
        PROCESS_INFORMATION record;
        BYTE spare[64];
    } started{};
    PROCESS_INFORMATION& info = started.record;
    if (!CreateProcessRetried([&] {
            return CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, nullptr, &startup, &info);
        })) {
        m_strError =
            "cannot start " + program + " (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    if (info.hThread)
        CloseHandle(info.hThread);
    // A Unix script started from a 32-bit program under Wine comes back
    // without a process handle; its ended file says when it is over. A null
    // handle must never reach TerminateProcess: Wine takes it for the caller.
    m_hProcess = info.hProcess;
    m_bRunning = true;
    return true;
}

bool SimulatorProcess::HasExited() {
    if (!m_bRunning)
        return true;
    if (WaitForSingleObject(m_hProcess, 0) != WAIT_OBJECT_0)
        return false;
    CloseHandle(m_hProcess);
    m_hProcess = nullptr;
    m_bRunning = false;
    return true;
}

bool SimulatorProcess::IsRunning() const {
    if (m_bRunning && !m_hProcess)
        return !FileExists(EndedFile());
    return m_bRunning && WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT;
}

void SimulatorProcess::Kill() {
    if (!m_bRunning)
        return;
    if (m_hProcess) {
        TerminateProcess(m_hProcess, 1);
        WaitForSingleObject(m_hProcess, 10000);
        CloseHandle(m_hProcess);
    }
    m_hProcess = nullptr;
    m_bRunning = false;
}

#else

bool SimulatorProcess::Spawn(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    int error = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        m_strError = "cannot start " + program + " (error " + std::to_string(error) + ")";
        return false;
    }
    m_nPid = pid;
    m_bRunning = true;
    return true;
}

bool SimulatorProcess::HasExited() {
    if (!m_bRunning)
        return true;
    int status = 0;
    if (waitpid(m_nPid, &status, WNOHANG) != m_nPid)
        return false;
    m_nPid = -1;
    m_bRunning = false;
    return true;
}

bool SimulatorProcess::IsRunning() const {
    // Polled without reaping: kill(0) succeeds for a zombie too, so ask waitid.
    if (!m_bRunning)
        return false;
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(m_nPid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return false;
    return info.si_pid == 0;
}

void SimulatorProcess::Kill() {
    if (!m_bRunning)
        return;
    kill(m_nPid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!HasExited()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(m_nPid, SIGKILL);
            waitpid(m_nPid, nullptr, 0);
            m_nPid = -1;
            m_bRunning = false;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

#endif
