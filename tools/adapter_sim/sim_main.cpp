// adapter_sim: plays network adapters on UDP for tests and benchmarks. See
// --help (sim_options.cpp) for what it does and its fault modes.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "framework/system_libraries.h"
#include "net/socket_api.h"
#include "tools/adapter_sim/sim_log.h"
#include "tools/adapter_sim/sim_options.h"
#include "tools/adapter_sim/sim_responder.h"

#ifndef _WIN32
#include <arpa/inet.h>
#endif

namespace {

sockaddr_in MakeAddress(const Octets4& octets, int port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    std::memcpy(&address.sin_addr, octets.data(), 4);
    return address;
}

std::string FormatPeer(const sockaddr_in& address) {
    Octets4 octets;
    std::memcpy(octets.data(), &address.sin_addr, 4);
    return FormatIPv4(octets) + ":" + std::to_string(ntohs(address.sin_port));
}

bool WriteReadyFile(const std::string& path, int port) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    std::fprintf(file, "port %d\n", port);
    return std::fclose(file) == 0;
}

// Receives and answers until the lifetime is over.
void Serve(SocketHandle s, const SimOptions& options, CSimLog& log) {
    CSimResponder responder(options);
    const SocketApi& api = RealSockets();
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::seconds(options.lifetimeSeconds);
    static std::uint8_t buffer[65536];  // the largest UDP payload, so nothing is cut

    for (;;) {
        auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (remaining <= 0)
            break;
        int ready = api.wait_readable(s, remaining < 1000 ? static_cast<int>(remaining) : 1000);
        if (ready <= 0)
            continue;

        sockaddr_in from;
        std::memset(&from, 0, sizeof(from));
        int length = api.recvfrom(s, buffer, sizeof(buffer), &from);
        if (length < 0) {
            log.LogNote("receive error " + std::to_string(LastSocketError()));
            continue;
        }
        const std::string peer = FormatPeer(from);
        log.LogDatagram("recv from", peer, buffer, static_cast<std::size_t>(length));

        std::vector<Datagram> answers = responder.Respond(buffer, static_cast<std::size_t>(length));
        if (answers.empty())
            continue;
        if (options.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));
        const auto first = Clock::now();
        for (size_t i = 0; i < answers.size(); ++i) {
            const Datagram& answer = answers[i];
            if (options.spreadMs > 0)
                std::this_thread::sleep_until(
                    first + std::chrono::microseconds(1000LL * options.spreadMs *
                                                      static_cast<long long>(i) /
                                                      static_cast<long long>(answers.size())));
            int sent = api.sendto(s, answer.data(), static_cast<int>(answer.size()), &from);
            if (sent < 0) {
                log.LogNote("send to " + peer + " failed, error " +
                            std::to_string(LastSocketError()));
                continue;
            }
            log.LogDatagram("send to", peer, answer.data(), answer.size());
        }
    }
    log.LogNote("lifetime over, exiting");
}

}  // namespace

int main(int argc, char** argv) {
    LoadLibrariesFromSystem32Only();
    SimOptions options;
    std::string error;
    switch (ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        case ParseResult::kHelp:
            std::fputs(SimUsageText(), stdout);
            return 0;
        case ParseResult::kError:
            std::fprintf(stderr, "adapter_sim: %s\n", error.c_str());
            return 2;
        case ParseResult::kRun:
            break;
    }

    CSimLog log;
    if (!log.Open(options.logPath)) {
        std::fprintf(stderr, "adapter_sim: cannot create log file %s\n", options.logPath.c_str());
        return 2;
    }

    StartSocketLibrary();
    const SocketApi& api = RealSockets();
    SocketHandle s = api.socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == kInvalidSocket) {
        std::fprintf(stderr, "adapter_sim: cannot create a UDP socket (error %d)\n",
                     LastSocketError());
        return 1;
    }
    int on = 1;
    api.setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    api.setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    const sockaddr_in local = MakeAddress(options.bindAddress, options.port);
    if (api.bind(s, &local) != 0) {
        std::fprintf(stderr, "adapter_sim: cannot bind %s (error %d)\n", FormatPeer(local).c_str(),
                     LastSocketError());
        api.closesocket(s);
        return 1;
    }
    log.LogNote("listening on " + FormatPeer(local) + " with " +
                std::to_string(options.adapters.size()) + " adapters");

    if (!options.readyFile.empty() && !WriteReadyFile(options.readyFile, options.port)) {
        std::fprintf(stderr, "adapter_sim: cannot write ready file %s\n",
                     options.readyFile.c_str());
        api.closesocket(s);
        return 1;
    }

    Serve(s, options, log);
    api.closesocket(s);
    StopSocketLibrary();
    return 0;
}
