#include "tests/cli/cli_run.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/process_text.h"

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifdef _WIN32
// Output through files: Wine's helper processes would keep a pipe open.
int Run(const std::string& program, const std::vector<std::string>& args, std::vector<std::string>,
        const fs::path& out, const fs::path& err) {
    std::string commandLine = QuoteArgument(program);
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += QuoteArgument(arg);
    }
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    auto open = [&](const fs::path& path) {
        return ::CreateFileA(path.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = open(out);
    startup.hStdError = open(err);
    PROCESS_INFORMATION info = {};
    const bool started = CreateProcessRetried([&] {
        return ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
    });
    ::CloseHandle(startup.hStdOutput);
    ::CloseHandle(startup.hStdError);
    if (!started)
        return -1;
    return static_cast<int>(WaitForExit(info, static_cast<DWORD>(-1)));
}
#else
int Run(const std::string& program, const std::vector<std::string>& args,
        std::vector<std::string> argvText, const fs::path& out, const fs::path& err) {
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    int status = 0;
    bool ran = posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0 &&
               waitpid(pid, &status, 0) == pid;
    posix_spawn_file_actions_destroy(&files);
    return ran && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace

std::string CliProgramPath() {
    return PlatformPath(PELLVANE_CLI_PATH);
}

CliRun RunCli(const std::vector<std::string>& args, std::vector<std::string> launcher) {
    return RunCliAt(CliProgramPath(), args, std::move(launcher));
}

CliRun RunCliAt(const std::string& program, const std::vector<std::string>& args,
                std::vector<std::string> launcher) {
    static int s_count = 0;
    const std::string base = (fs::temp_directory_path() / "pv-cli-run-").string() +
                             std::to_string(CurrentProcessId()) + "-" + std::to_string(++s_count);
    const fs::path out = base + ".out", err = base + ".err";
    CliRun run;
    run.exitCode = Run(program, args, std::move(launcher), out, err);
    run.out = Slurp(out);
    run.err = Slurp(err);
    std::error_code ignored;
    fs::remove(out, ignored);
    fs::remove(err, ignored);
    return run;
}
