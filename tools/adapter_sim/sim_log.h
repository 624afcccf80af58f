// The simulator's traffic log: one line per datagram received or sent, each
// flushed at once so a test can read the log while the simulator runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class CSimLog {
public:
    CSimLog() = default;
    ~CSimLog();
    CSimLog(const CSimLog&) = delete;
    CSimLog& operator=(const CSimLog&) = delete;

    // Empty path: standard error. False when the file cannot be created.
    bool Open(const std::string& path);

    // "HH:MM:SS.mmm recv from 10.231.0.1:40000 len 11: 48 45 ..."
    void LogDatagram(const char* direction, const std::string& peer, const std::uint8_t* data,
                     std::size_t length);
    void LogNote(const std::string& text);

private:
    void WriteLine(const std::string& text);

    std::FILE* m_pFile = nullptr;
    bool m_bOwnsFile = false;
};

// Lower-case hex octets separated by single spaces.
std::string FormatHexBytes(const std::uint8_t* data, std::size_t length);
