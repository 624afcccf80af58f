// One simulated adapter and the datagrams it sends. Addresses are kept as
// octets in wire order, so nothing here depends on the host's byte order.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Octets4 = std::array<std::uint8_t, 4>;
using MacAddress = std::array<std::uint8_t, 6>;
using Datagram = std::vector<std::uint8_t>;

constexpr int kDiscoveryReplyLength = 42;
constexpr int kChangeRequestLength = 28;
constexpr int kExtraLength = 12;  // reply bytes 26-29 then 34-41

struct SimAdapter {
    Octets4 address{};
    MacAddress mac{};
    Octets4 controller{};                            // 0.0.0.0: no workstation controls it
    std::array<std::uint8_t, kExtraLength> extra{};  // opaque bytes, sent as configured
};

// Strict dotted decimal: four numbers 0-255, nothing else.
bool ParseIPv4(const std::string& text, Octets4& address);
// Six two-digit hexadecimal octets separated by colons.
bool ParseMac(const std::string& text, MacAddress& mac);
// An even number of hex digits, at most kExtraLength bytes; the rest stays zero.
bool ParseExtraHex(const std::string& text, std::array<std::uint8_t, kExtraLength>& extra);

// "IP,MAC[,CONTROLLER[,EXTRA]]". On failure `error` says what is wrong.
bool ParseAdapterArgument(const std::string& argument, SimAdapter& adapter, std::string& error);

// `count` adapters in the network `base`/`prefixBits`: host numbers 1, 2, ...
// in order, MACs 02:7e:a0 followed by the 24-bit adapter number (so the last
// three octets differ), no controller, small distinct opaque bytes.
// False (with `error`) when the network has too few host addresses.
bool GenerateAdapters(int count, const Octets4& base, int prefixBits,
                      std::vector<SimAdapter>& adapters, std::string& error);

// The 42-byte discovery reply: tag, byte 15 zero, address, MAC, opaque 26-29,
// controller, opaque 34-41.
Datagram BuildDiscoveryReply(const SimAdapter& adapter);

std::string FormatIPv4(const Octets4& address);
std::string FormatMac(const MacAddress& mac);
