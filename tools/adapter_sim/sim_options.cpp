#include "tools/adapter_sim/sim_options.h"

namespace {

constexpr int kMostLifetimeSeconds = 3600;  // nothing may be left running for long
constexpr int kMostDelayMs = 60000;

const char kUsage[] =
    "Usage: adapter_sim [options]\n"
    "Plays network adapters on UDP: answers \"HELLO PRUX\" discovery requests and\n"
    "\"PRUX IFCONFIG\" address-change requests, to the sender's address and port.\n"
    "\n"
    "Socket:\n"
    "  --bind ADDR            local IPv4 address to bind (default 0.0.0.0)\n"
    "  --port N               UDP port (default 9029)\n"
    "\n"
    "Adapters (answer in this order: all --adapter ones, then the generated ones):\n"
    "  --adapter IP,MAC[,CONTROLLER[,EXTRA]]\n"
    "                         one adapter; MAC as aa:bb:cc:dd:ee:ff; CONTROLLER the\n"
    "                         IPv4 address of the controlling workstation, 0 (the\n"
    "                         default) for none; EXTRA up to 24 hex digits for the\n"
    "                         opaque reply bytes 26-29 then 34-41 (missing ones are 0).\n"
    "                         Repeatable.\n"
    "  --generate N           N more adapters: host addresses 1..N of --subnet, MACs\n"
    "                         02:7e:a0:XX:YY:ZZ with XXYYZZ = 1..N, no controller\n"
    "  --subnet ADDR/BITS     network for --generate (default 10.231.128.0/17;\n"
    "                         BITS 8 to 30)\n"
    "\n"
    "Fault modes:\n"
    "  --silent MAC           that adapter never answers anything (repeatable)\n"
    "  --duplicate            send every discovery answer twice in a row\n"
    "  --short N              after the answers, also send the first N bytes (0-41)\n"
    "                         of a discovery answer\n"
    "  --foreign              after the answers, also send a 42-byte datagram whose\n"
    "                         prefix is \"HELLO I AM PRUY\"\n"
    "  --oversized            after the answers, also send a 45-byte datagram that\n"
    "                         starts like a valid answer\n"
    "  --delay-ms N           wait N ms (0-60000) before sending any answer\n"
    "  --spread-ms N          send the answers to one request evenly over N ms\n"
    "                         (0-60000), as a large segment's come in, not at once\n"
    "  --wrong-answer         answer an address change with \"IFCONFIG:ERR\" and keep\n"
    "                         the old address\n"
    "  --ignore-change        ignore address changes: no answer, old address kept\n"
    "\n"
    "Running:\n"
    "  --log FILE             log every datagram received and sent (time, peer,\n"
    "                         length, hex bytes) to FILE (default: standard error)\n"
    "  --ready-file PATH      write PATH once the socket is bound\n"
    "  --lifetime SECONDS     exit after this many seconds (1-3600, default 60)\n"
    "  --help                 this text\n"
    "\n"
    "An address change is a 28-byte request \"PRUX IFCONFIG\\0\", two zero bytes,\n"
    "the new address (bytes 16-19) and the MAC (20-25); the adapter with that MAC\n"
    "answers \"IFCONFIG OK\" and reports the new address from then on.\n"
    "Exit status: 0 after the lifetime, 1 on a socket failure, 2 on bad options.\n";

bool ParseNumber(const std::string& text, int lowest, int highest, int& value) {
    if (text.empty() || text.size() > 9)
        return false;
    int result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    if (result < lowest || result > highest)
        return false;
    value = result;
    return true;
}

std::string Range(int lowest, int highest) {
    return std::to_string(lowest) + " to " + std::to_string(highest);
}

}  // namespace

const char* SimUsageText() {
    return kUsage;
}

ParseResult ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                            std::string& error) {
    options = SimOptions{};
    int generate = 0;
    Octets4 subnet{10, 231, 128, 0};
    int subnetBits = 17;

    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        // Fetches the option's value from "--name=value" or the next argument.
        auto takeValue = [&]() {
            if (hasValue)
                return true;
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto badNumber = [&](int lowest, int highest) {
            error =
                name + ": \"" + value + "\" is not a whole number from " + Range(lowest, highest);
            return ParseResult::kError;
        };

        if (name == "--help" || name == "-h")
            return ParseResult::kHelp;

        if (name == "--duplicate" || name == "--foreign" || name == "--oversized" ||
            name == "--wrong-answer" || name == "--ignore-change") {
            if (hasValue) {
                error = name + " takes no value";
                return ParseResult::kError;
            }
            if (name == "--duplicate")
                options.duplicate = true;
            if (name == "--foreign")
                options.foreign = true;
            if (name == "--oversized")
                options.oversized = true;
            if (name == "--wrong-answer")
                options.wrongAnswer = true;
            if (name == "--ignore-change")
                options.ignoreChange = true;
            continue;
        }

        if (name.rfind("--", 0) != 0) {
            error = "unexpected argument \"" + name + "\" (see --help)";
            return ParseResult::kError;
        }
        if (name != "--bind" && name != "--port" && name != "--adapter" && name != "--generate" &&
            name != "--subnet" && name != "--silent" && name != "--short" && name != "--delay-ms" &&
            name != "--spread-ms" && name != "--log" && name != "--ready-file" &&
            name != "--lifetime") {
            error = "unknown option " + name + " (see --help)";
            return ParseResult::kError;
        }
        if (!takeValue())
            return ParseResult::kError;

        if (name == "--bind") {
            if (!ParseIPv4(value, options.bindAddress)) {
                error = "--bind: \"" + value + "\" is not a dotted IPv4 address";
                return ParseResult::kError;
            }
        } else if (name == "--port") {
            if (!ParseNumber(value, 1, 65535, options.port))
                return badNumber(1, 65535);
        } else if (name == "--adapter") {
            SimAdapter adapter;
            std::string why;
            if (!ParseAdapterArgument(value, adapter, why)) {
                error = "--adapter: " + why;
                return ParseResult::kError;
            }
            options.adapters.push_back(adapter);
        } else if (name == "--generate") {
            if (!ParseNumber(value, 0, 100000, generate))
                return badNumber(0, 100000);
        } else if (name == "--subnet") {
            auto slash = value.find('/');
            if (slash == std::string::npos || !ParseIPv4(value.substr(0, slash), subnet) ||
                !ParseNumber(value.substr(slash + 1), 8, 30, subnetBits)) {
                error = "--subnet: \"" + value + "\" is not ADDR/BITS with BITS from 8 to 30";
                return ParseResult::kError;
            }
        } else if (name == "--silent") {
            MacAddress mac;
            if (!ParseMac(value, mac)) {
                error = "--silent: bad MAC address \"" + value + "\" (expected aa:bb:cc:dd:ee:ff)";
                return ParseResult::kError;
            }
            options.silent.push_back(mac);
        } else if (name == "--short") {
            if (!ParseNumber(value, 0, kDiscoveryReplyLength - 1, options.shortLength))
                return badNumber(0, kDiscoveryReplyLength - 1);
        } else if (name == "--delay-ms") {
            if (!ParseNumber(value, 0, kMostDelayMs, options.delayMs))
                return badNumber(0, kMostDelayMs);
        } else if (name == "--spread-ms") {
            if (!ParseNumber(value, 0, kMostDelayMs, options.spreadMs))
                return badNumber(0, kMostDelayMs);
        } else if (name == "--lifetime") {
            if (!ParseNumber(value, 1, kMostLifetimeSeconds, options.lifetimeSeconds))
                return badNumber(1, kMostLifetimeSeconds);
        } else if (value.empty()) {
            error = name + " needs a non-empty path";
            return ParseResult::kError;
        } else if (name == "--log") {
            options.logPath = value;
        } else {
            options.readyFile = value;
        }
    }

    if (generate > 0) {
        std::string why;
        if (!GenerateAdapters(generate, subnet, subnetBits, options.adapters, why)) {
            error = why;
            return ParseResult::kError;
        }
    }
    return ParseResult::kRun;
}
