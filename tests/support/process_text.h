// What test programs need to start another program on either platform: the
// process id for unique file names, paths in the form each side uses (the
// build names Unix paths; under Wine the Unix root is drive Z:), and a
// Windows command line that the C runtime splits back into the same words.
#pragma once

#include <string>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

unsigned long CurrentProcessId();
std::string PlatformPath(std::string path);
// What a Unix program started from here calls the same file.
std::string UnixPath(std::string path);
#ifdef _WIN32
std::string QuoteArgument(const std::string& arg);

// Runs `create` (a CreateProcessA call) again, at most twice more, while it
// fails with ERROR_INTERNAL_ERROR: Wine now and then fails a process start
// that way when another test program starts one at the same moment. Any
// other failure, or a third internal error, is the caller's to report.
template <typename Create>
bool CreateProcessRetried(Create create) {
    for (int attempt = 0;; ++attempt) {
        if (create())
            return true;
        if (::GetLastError() != ERROR_INTERNAL_ERROR || attempt == 2)
            return false;
    }
}

// Waits at most a minute for a started program to end, ends it otherwise,
// and closes both of its handles. Its exit code, or `fallback` when it had
// to be ended.
DWORD WaitForExit(PROCESS_INFORMATION& info, DWORD fallback);
#endif
