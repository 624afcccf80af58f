#include "cli/mac_address.h"

#include <charconv>
#include <cstring>

std::optional<MacAddress> ParseMacAddress(const std::string& text) {
    // "aa:bb:cc:dd:ee:ff": 6 pairs and 5 separators.
    if (text.size() != 17)
        return std::nullopt;
    MacAddress mac{};
    for (size_t i = 0; i < mac.size(); ++i) {
        const size_t at = i * 3;
        // Two hexadecimal digits, no sign: an unsigned target takes none.
        const char* pair = text.data() + at;
        const auto [end, error] = std::from_chars(pair, pair + 2, mac[i], 16);
        if (error != std::errc() || end != pair + 2)
            return std::nullopt;
        if (i + 1 < mac.size() && text[at + 2] != ':' && text[at + 2] != '-')
            return std::nullopt;
    }
    return mac;
}

bool HasMacAddress(const AdapterRecord& record, const MacAddress& mac) {
    return std::memcmp(record.hardware, mac.data(), mac.size()) == 0;
}
