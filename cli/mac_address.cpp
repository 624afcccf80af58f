#include "cli/mac_address.h"

#include <cstring>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<MacAddress> ParseMacAddress(const std::string& text) {
    // "aa:bb:cc:dd:ee:ff": 6 pairs and 5 separators.
    if (text.size() != 17)
        return std::nullopt;
    MacAddress mac{};
    for (size_t i = 0; i < mac.size(); ++i) {
        const size_t at = i * 3;
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        if (i + 1 < mac.size() && text[at + 2] != ':' && text[at + 2] != '-')
            return std::nullopt;
        mac[i] = static_cast<BYTE>(high << 4 | low);
    }
    return mac;
}

bool HasMacAddress(const AdapterRecord& record, const MacAddress& mac) {
    return std::memcmp(record.hardware, mac.data(), mac.size()) == 0;
}
