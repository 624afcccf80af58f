#include "tools/adapter_sim/sim_log.h"

#include <chrono>

namespace {

// UTC time of day with milliseconds: enough to line up a test's events.
std::string TimeOfDay() {
    using namespace std::chrono;
    auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
    long long msOfDay = sinceEpoch.count() % (24LL * 3600 * 1000);
    char text[24];
    std::snprintf(text, sizeof(text), "%02lld:%02lld:%02lld.%03lld", msOfDay / 3600000,
                  msOfDay / 60000 % 60, msOfDay / 1000 % 60, msOfDay % 1000);
    return text;
}

}  // namespace

std::string FormatHexBytes(const std::uint8_t* data, std::size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 3);
    for (std::size_t i = 0; i < length; ++i) {
        if (i)
            text += ' ';
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

CSimLog::~CSimLog() {
    if (m_bOwnsFile)
        std::fclose(m_pFile);
}

bool CSimLog::Open(const std::string& path) {
    if (path.empty()) {
        m_pFile = stderr;
        return true;
    }
    // Binary: the same "\n" line ends natively and on Windows, for the readers.
    m_pFile = std::fopen(path.c_str(), "wb");
    m_bOwnsFile = m_pFile != nullptr;
    return m_bOwnsFile;
}

void CSimLog::LogDatagram(const char* direction, const std::string& peer, const std::uint8_t* data,
                          std::size_t length) {
    WriteLine(std::string(direction) + " " + peer + " len " + std::to_string(length) + ": " +
              FormatHexBytes(data, length));
}

void CSimLog::LogNote(const std::string& text) {
    WriteLine(text);
}

void CSimLog::WriteLine(const std::string& text) {
    if (!m_pFile)
        return;
    std::fprintf(m_pFile, "%s %s\n", TimeOfDay().c_str(), text.c_str());
    std::fflush(m_pFile);
}
