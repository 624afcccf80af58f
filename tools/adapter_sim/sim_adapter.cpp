#include "tools/adapter_sim/sim_adapter.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kReplyTag[] = "HELLO I AM PRUX";  // 15 bytes on the wire, no NUL

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::vector<std::string> SplitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

}  // namespace

bool ParseIPv4(const std::string& text, Octets4& address) {
    auto parts = SplitOn(text, '.');
    if (parts.size() != 4)
        return false;
    for (size_t i = 0; i < 4; ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part.size() > 3)
            return false;
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255)
            return false;
        address[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

bool ParseMac(const std::string& text, MacAddress& mac) {
    auto parts = SplitOn(text, ':');
    if (parts.size() != 6)
        return false;
    for (size_t i = 0; i < 6; ++i) {
        if (parts[i].size() != 2)
            return false;
        int high = HexValue(parts[i][0]);
        int low = HexValue(parts[i][1]);
        if (high < 0 || low < 0)
            return false;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

bool ParseExtraHex(const std::string& text, std::array<std::uint8_t, kExtraLength>& extra) {
    if (text.empty() || text.size() % 2 != 0 || text.size() > 2 * kExtraLength)
        return false;
    extra.fill(0);
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = HexValue(text[i]);
        int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        extra[i / 2] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

bool ParseAdapterArgument(const std::string& argument, SimAdapter& adapter, std::string& error) {
    auto parts = SplitOn(argument, ',');
    if (parts.size() < 2 || parts.size() > 4) {
        error = "expected IP,MAC[,CONTROLLER[,EXTRA]], got \"" + argument + "\"";
        return false;
    }
    adapter = SimAdapter{};
    if (!ParseIPv4(parts[0], adapter.address)) {
        error = "bad adapter IPv4 address \"" + parts[0] + "\"";
        return false;
    }
    if (!ParseMac(parts[1], adapter.mac)) {
        error = "bad MAC address \"" + parts[1] + "\" (expected aa:bb:cc:dd:ee:ff)";
        return false;
    }
    if (parts.size() >= 3 && parts[2] != "0" && !ParseIPv4(parts[2], adapter.controller)) {
        error = "bad controller address \"" + parts[2] + "\" (an IPv4 address, or 0 for none)";
        return false;
    }
    if (parts.size() == 4 && !ParseExtraHex(parts[3], adapter.extra)) {
        error = "bad EXTRA \"" + parts[3] + "\" (an even number of hex digits, at most 24)";
        return false;
    }
    return true;
}

bool GenerateAdapters(int count, const Octets4& base, int prefixBits,
                      std::vector<SimAdapter>& adapters, std::string& error) {
    const std::uint32_t network = (std::uint32_t{base[0]} << 24) | (std::uint32_t{base[1]} << 16) |
                                  (std::uint32_t{base[2]} << 8) | base[3];
    const std::uint32_t hostMask = prefixBits >= 32 ? 0 : (0xFFFFFFFFu >> prefixBits);
    // Host numbers 1 .. hostMask-1: neither the network nor its broadcast address.
    const std::uint64_t usable = hostMask > 1 ? hostMask - 1 : 0;
    if (count < 0 || static_cast<std::uint64_t>(count) > usable || count > 0xFFFFFF) {
        error = "--generate " + std::to_string(count) + " does not fit the subnet (" +
                std::to_string(usable) + " host addresses)";
        return false;
    }
    const std::uint32_t first = network & ~hostMask;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t number = static_cast<std::uint32_t>(i) + 1;
        const std::uint32_t ip = first + number;
        SimAdapter adapter;
        adapter.address = {static_cast<std::uint8_t>(ip >> 24), static_cast<std::uint8_t>(ip >> 16),
                           static_cast<std::uint8_t>(ip >> 8), static_cast<std::uint8_t>(ip)};
        adapter.mac = {0x02,
                       0x7e,
                       0xa0,
                       static_cast<std::uint8_t>(number >> 16),
                       static_cast<std::uint8_t>(number >> 8),
                       static_cast<std::uint8_t>(number)};
        adapter.extra = {0x5a, 0x00, static_cast<std::uint8_t>(number >> 8),
                         static_cast<std::uint8_t>(number)};
        adapters.push_back(adapter);
    }
    return true;
}

Datagram BuildDiscoveryReply(const SimAdapter& adapter) {
    Datagram reply(kDiscoveryReplyLength, 0);
    std::memcpy(reply.data(), kReplyTag, sizeof(kReplyTag) - 1);
    std::memcpy(reply.data() + 16, adapter.address.data(), 4);
    std::memcpy(reply.data() + 20, adapter.mac.data(), 6);
    std::memcpy(reply.data() + 26, adapter.extra.data(), 4);
    std::memcpy(reply.data() + 30, adapter.controller.data(), 4);
    std::memcpy(reply.data() + 34, adapter.extra.data() + 4, 8);
    return reply;
}

std::string FormatIPv4(const Octets4& address) {
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", address[0], address[1], address[2],
                  address[3]);
    return text;
}

std::string FormatMac(const MacAddress& mac) {
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}
