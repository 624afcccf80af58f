#include "tools/discovery_bench/timed_list.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TimedList RunTimedList(const std::string& program, int seconds) {
    TimedList result;
    const std::filesystem::path out = std::filesystem::temp_directory_path() /
                                      ("pv-bench-list-" + std::to_string(getpid()) + ".csv");
    std::vector<std::string> words = {program,    "list", "--seconds", std::to_string(seconds),
                                      "--format", "csv"};
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    int status = 0;
    rusage usage{};
    const bool ran = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0 &&
                     wait4(pid, &status, 0, &usage) == pid;
    result.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&files);
    if (ran && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
        result.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
        result.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
    }
    std::ifstream in(out);
    std::string line;
    for (bool header = true; std::getline(in, line); header = false)
        result.rows += header ? 0 : 1;
    std::error_code ignored;
    std::filesystem::remove(out, ignored);
    return result;
}
