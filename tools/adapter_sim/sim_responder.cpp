#include "tools/adapter_sim/sim_responder.h"

#include <algorithm>
#include <cstring>

CSimResponder::CSimResponder(const SimOptions& options)
    : m_options(options), m_adapters(options.adapters) {}

bool CSimResponder::IsSilent(const SimAdapter& adapter) const {
    return std::find(m_options.silent.begin(), m_options.silent.end(), adapter.mac) !=
           m_options.silent.end();
}

std::vector<Datagram> CSimResponder::Respond(const std::uint8_t* data, std::size_t length) {
    if (length >= sizeof(kSimDiscoveryRequest) &&
        std::memcmp(data, kSimDiscoveryRequest, sizeof(kSimDiscoveryRequest)) == 0)
        return AnswerDiscovery();
    if (length == kChangeRequestLength &&
        std::memcmp(data, kSimChangeRequestTag, sizeof(kSimChangeRequestTag)) == 0)
        return AnswerAddressChange(data);
    return {};
}

std::vector<Datagram> CSimResponder::AnswerDiscovery() const {
    std::vector<Datagram> answers;
    // The faulty extras are cut from a real answer, so only the fault differs.
    Datagram model = BuildDiscoveryReply(SimAdapter{});
    bool haveModel = false;
    for (const SimAdapter& adapter : m_adapters) {
        if (IsSilent(adapter))
            continue;
        Datagram reply = BuildDiscoveryReply(adapter);
        if (!haveModel) {
            model = reply;
            haveModel = true;
        }
        answers.push_back(reply);
        if (m_options.duplicate)
            answers.push_back(reply);
    }
    if (m_options.shortLength >= 0)
        answers.emplace_back(model.begin(), model.begin() + m_options.shortLength);
    if (m_options.foreign) {
        Datagram foreign = model;
        foreign[14] = 'Y';  // only the last byte of the tag differs
        answers.push_back(foreign);
    }
    if (m_options.oversized) {
        Datagram oversized = model;
        oversized.resize(kOversizedLength, 0);
        answers.push_back(oversized);
    }
    return answers;
}

std::vector<Datagram> CSimResponder::AnswerAddressChange(const std::uint8_t* request) {
    std::vector<Datagram> answers;
    if (m_options.ignoreChange)
        return answers;
    for (SimAdapter& adapter : m_adapters) {
        if (IsSilent(adapter) || std::memcmp(adapter.mac.data(), request + 20, 6) != 0)
            continue;
        const char* text = kSimChangeOk;
        if (m_options.wrongAnswer) {
            text = kSimChangeWrong;
        } else {
            std::memcpy(adapter.address.data(), request + 16, 4);
        }
        answers.emplace_back(text, text + std::strlen(text));
    }
    return answers;
}
