// What the simulated adapters send in answer to one received datagram. No
// sockets here: the main loop sends the answers back to the sender.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/adapter_sim/sim_options.h"

class CSimResponder {
public:
    explicit CSimResponder(const SimOptions& options);

    // The datagrams to send back, in order; empty when nobody answers.
    std::vector<Datagram> Respond(const std::uint8_t* data, std::size_t length);

    const std::vector<SimAdapter>& GetAdapters() const { return m_adapters; }

private:
    bool IsSilent(const SimAdapter& adapter) const;
    std::vector<Datagram> AnswerDiscovery() const;
    std::vector<Datagram> AnswerAddressChange(const std::uint8_t* request);

    SimOptions m_options;
    std::vector<SimAdapter> m_adapters;  // addresses change with accepted requests
};

// The request prefixes the adapters recognise.
constexpr char kSimDiscoveryRequest[] = "HELLO PRUX";     // 11 bytes with its NUL
constexpr char kSimChangeRequestTag[] = "PRUX IFCONFIG";  // 14 bytes with its NUL
constexpr char kSimChangeOk[] = "IFCONFIG OK";            // sent without a NUL
constexpr char kSimChangeWrong[] = "IFCONFIG:ERR";        // differs from "IFCONFIG " at byte 8
constexpr int kOversizedLength = 45;
