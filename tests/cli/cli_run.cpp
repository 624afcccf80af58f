#include "tests/cli/cli_run.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#ifndef PELLVANE_CLI_PATH
#error "PELLVANE_CLI_PATH must name pellvane-cli"
#endif

namespace fs = std::filesystem;

namespace {

// A set-ip listens up to ten seconds and waits one more; Wine may add a start.
constexpr int kMostSeconds = 60;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned long ProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

fs::path OutputFile(const char* stream) {
    static int s_count = 0;
    return fs::temp_directory_path() / ("pv-cli-" + std::to_string(ProcessId()) + "-" +
                                        std::to_string(++s_count) + "." + stream);
}

#ifdef _WIN32
// One argument quoted the way the C runtime splits a command line again.
std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + '"';
}

// The build names a Unix path; under Wine the Unix root is drive Z:.
std::string ProgramPath() {
    std::string path = PELLVANE_CLI_PATH;
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path.insert(0, "Z:");
    }
    return path;
}

HANDLE InheritableFile(const fs::path& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return ::CreateFileA(path.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Run(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
    const std::string program = ProgramPath();
    std::string commandLine = Quote(program);
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += Quote(arg);
    }
    HANDLE outFile = InheritableFile(out);
    HANDLE errFile = InheritableFile(err);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION info = {};
    const bool started =
        outFile != INVALID_HANDLE_VALUE && errFile != INVALID_HANDLE_VALUE &&
        ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
    ::CloseHandle(outFile);
    ::CloseHandle(errFile);
    if (!started)
        return -1;
    ::CloseHandle(info.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(info.hProcess, kMostSeconds * 1000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(info.hProcess, &code);
    else
        ::TerminateProcess(info.hProcess, static_cast<UINT>(-1));
    ::WaitForSingleObject(info.hProcess, 10000);
    ::CloseHandle(info.hProcess);
    return static_cast<int>(code);
}
#else
int Run(const std::vector<std::string>& launcher, const std::vector<std::string>& args,
        const fs::path& out, const fs::path& err) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> argvText = launcher;
    argvText.push_back(PELLVANE_CLI_PATH);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0)
        return -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kMostSeconds);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0)
            return -1;
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        usleep(20000);
    }
}
#endif

}  // namespace

namespace {

CliRun Collect(const std::vector<std::string>& launcher, const std::vector<std::string>& args) {
    const fs::path out = OutputFile("out");
    const fs::path err = OutputFile("err");
    CliRun run;
#ifdef _WIN32
    (void)launcher;
    run.exitCode = Run(args, out, err);
#else
    run.exitCode = Run(launcher, args, out, err);
#endif
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    std::error_code ignored;
    fs::remove(out, ignored);
    fs::remove(err, ignored);
    return run;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
    return Collect({}, args);
}

#ifndef _WIN32
CliRun RunCliThrough(const std::vector<std::string>& launcher,
                     const std::vector<std::string>& args) {
    return Collect(launcher, args);
}
#endif
