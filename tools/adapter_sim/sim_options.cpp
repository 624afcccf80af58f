#include "tools/adapter_sim/sim_options.h"

#include <algorithm>

#include <CLI/CLI.hpp>

namespace {

constexpr int kMostLifetimeSeconds = 3600;  // nothing may be left running for long
constexpr int kMostDelayMs = 60000;
constexpr int kMostGenerated = 100000;

// The network --generate fills.
struct Subnet {
    Octets4 base{};
    int bits = 0;
};

// The options that are kept as text until the whole command line is valid.
struct OptionTexts {
    std::string bind = "0.0.0.0";
    std::vector<std::string> adapters;
    std::vector<std::string> silent;
    std::string subnet = "10.231.128.0/17";
    int generate = 0;
};

// "ADDR/BITS" with BITS from 8 to 30.
bool ParseSubnet(const std::string& text, Subnet& subnet) {
    const auto slash = text.find('/');
    if (slash == std::string::npos || !ParseIPv4(text.substr(0, slash), subnet.base))
        return false;
    const std::string bits = text.substr(slash + 1);
    if (bits.empty() || bits.size() > 2 || bits.find_first_not_of("0123456789") != bits.npos)
        return false;
    subnet.bits = std::stoi(bits);
    return subnet.bits >= 8 && subnet.bits <= 30;
}

// CLI11 reads numbers with strtoll's base 0, so "010" would be 8 and "0x10"
// 16: only decimal digits are let through, without their leading zeros.
const CLI::Validator kDecimal(
    [](std::string& text) {
        if (text.empty() || text.find_first_not_of("0123456789") != text.npos)
            return "\"" + text + "\" is not a whole number";
        text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
        return std::string();
    },
    "");

// A check by one of the simulator's own parsers; `what` completes "... is not".
template <typename Value>
CLI::Validator Parsed(bool (*parse)(const std::string&, Value&), const std::string& what) {
    return CLI::Validator(
        [parse, what](std::string& text) {
            Value value;
            return parse(text, value) ? std::string() : "\"" + text + "\" is not " + what;
        },
        "");
}

const CLI::Validator kIPv4 = Parsed(&ParseIPv4, "a dotted IPv4 address");
const CLI::Validator kMac = Parsed(&ParseMac, "a MAC address (aa:bb:cc:dd:ee:ff)");
const CLI::Validator kSubnet = Parsed(&ParseSubnet, "ADDR/BITS with BITS from 8 to 30");
const CLI::Validator kAdapter(
    [](std::string& text) {
        SimAdapter adapter;
        std::string why;
        return ParseAdapterArgument(text, adapter, why) ? std::string() : why;
    },
    "");
const CLI::Validator kNonEmpty(
    [](std::string& text) { return text.empty() ? std::string("needs a non-empty path") : ""; },
    "");

CLI::Option* AddNumber(CLI::App& app, const std::string& name, int& value, int lowest, int highest,
                       const std::string& description) {
    return app.add_option(name, value, description)
        ->type_name("N")
        ->transform(kDecimal)
        ->check(CLI::Range(lowest, highest)
                    .description(std::to_string(lowest) + "-" + std::to_string(highest)));
}

// Declares every option on `app`, bound to `options` and `texts`.
void DescribeOptions(CLI::App& app, SimOptions& options, OptionTexts& texts) {
    app.description(
        "Plays network adapters on UDP: answers \"HELLO PRUX\" discovery requests and\n"
        "\"PRUX IFCONFIG\" address-change requests, to the sender's address and port.");
    app.footer(
        "An address change is a 28-byte request \"PRUX IFCONFIG\\0\", two zero bytes,\n"
        "the new address (bytes 16-19) and the MAC (20-25); the adapter with that MAC\n"
        "answers \"IFCONFIG OK\" and reports the new address from then on.\n"
        "Exit status: 0 after the lifetime, 1 on a socket failure, 2 on bad options.");
    // The same on both builds: "/path" is a value, not a Windows-style option.
    app.allow_windows_style_options(false);
    // CLI11 names left-over arguments last first; ParseSimOptions names the first.
    app.allow_extras();
    // A repeated option takes its last value; a flag takes no value.
    app.option_defaults()
        ->always_capture_default()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->disable_flag_override();
    app.get_formatter()->column_width(26);

    app.option_defaults()->group("Socket");
    app.add_option("--bind", texts.bind, "local IPv4 address to bind")
        ->type_name("ADDR")
        ->check(kIPv4);
    AddNumber(app, "--port", options.port, 1, 65535, "UDP port");

    app.option_defaults()->group(
        "Adapters (answer in this order: all --adapter ones, then the generated ones)");
    app.add_option("--adapter", texts.adapters,
                   "one adapter; MAC as aa:bb:cc:dd:ee:ff; CONTROLLER the\n"
                   "IPv4 address of the controlling workstation, 0 (the\n"
                   "default) for none; EXTRA up to 24 hex digits for the\n"
                   "opaque reply bytes 26-29 then 34-41 (missing ones are 0).\n"
                   "Repeatable.")
        ->type_name("IP,MAC[,CONTROLLER[,EXTRA]]")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false)
        ->default_str("")
        ->check(kAdapter);
    AddNumber(app, "--generate", texts.generate, 0, kMostGenerated,
              "N more adapters: host addresses 1..N of --subnet, MACs\n"
              "02:7e:a0:XX:YY:ZZ with XXYYZZ = 1..N, no controller");
    app.add_option("--subnet", texts.subnet, "network for --generate (BITS 8 to 30)")
        ->type_name("ADDR/BITS")
        ->check(kSubnet);

    app.option_defaults()->group("Fault modes");
    app.add_option("--silent", texts.silent, "that adapter never answers anything (repeatable)")
        ->type_name("MAC")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false)
        ->default_str("")
        ->check(kMac);
    app.add_flag("--duplicate", options.duplicate, "send every discovery answer twice in a row");
    AddNumber(app, "--short", options.shortLength, 0, kDiscoveryReplyLength - 1,
              "after the answers, also send the first N bytes of a\n"
              "discovery answer")
        ->default_str("");
    app.add_flag("--foreign", options.foreign,
                 "after the answers, also send a 42-byte datagram whose\n"
                 "prefix is \"HELLO I AM PRUY\"");
    app.add_flag("--oversized", options.oversized,
                 "after the answers, also send a 45-byte datagram that\n"
                 "starts like a valid answer");
    AddNumber(app, "--delay-ms", options.delayMs, 0, kMostDelayMs,
              "wait N ms before sending any answer");
    AddNumber(app, "--spread-ms", options.spreadMs, 0, kMostDelayMs,
              "send the answers to one request evenly over N ms,\n"
              "as a large segment's come in, not at once");
    app.add_flag("--wrong-answer", options.wrongAnswer,
                 "answer an address change with \"IFCONFIG:ERR\" and keep\n"
                 "the old address");
    app.add_flag("--ignore-change", options.ignoreChange,
                 "ignore address changes: no answer, old address kept");

    app.option_defaults()->group("Running");
    app.add_option("--log", options.logPath,
                   "log every datagram received and sent (time, peer,\n"
                   "length, hex bytes) to FILE (default: standard error)")
        ->type_name("FILE")
        ->check(kNonEmpty);
    app.add_option("--ready-file", options.readyFile, "write PATH once the socket is bound")
        ->type_name("PATH")
        ->check(kNonEmpty);
    AddNumber(app, "--lifetime", options.lifetimeSeconds, 1, kMostLifetimeSeconds,
              "exit after this many seconds");
    app.set_help_flag("-h,--help", "this text");
}

}  // namespace

const char* SimUsageText() {
    static const std::string text = [] {
        CLI::App app("", "adapter_sim");
        SimOptions options;
        OptionTexts texts;
        DescribeOptions(app, options, texts);
        return app.help();
    }();
    return text.c_str();
}

ParseResult ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                            std::string& error) {
    options = SimOptions{};
    OptionTexts texts;
    CLI::App app("", "adapter_sim");
    DescribeOptions(app, options, texts);
    try {
        app.parse(
            std::vector<std::string>(args.rbegin(), args.rend()));  // CLI11 pops from the back
    } catch (const CLI::CallForHelp&) {
        return ParseResult::kHelp;
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
        return ParseResult::kError;
    }
    if (const auto extras = app.remaining(); !extras.empty()) {
        error = "unexpected argument \"" + extras.front() + "\" (see --help)";
        return ParseResult::kError;
    }

    // Every text has passed its check, so these conversions succeed.
    ParseIPv4(texts.bind, options.bindAddress);
    for (const std::string& text : texts.adapters) {
        std::string why;
        ParseAdapterArgument(text, options.adapters.emplace_back(), why);
    }
    for (const std::string& text : texts.silent)
        ParseMac(text, options.silent.emplace_back());
    Subnet subnet;
    ParseSubnet(texts.subnet, subnet);
    if (texts.generate > 0 &&
        !GenerateAdapters(texts.generate, subnet.base, subnet.bits, options.adapters, error))
        return ParseResult::kError;
    return ParseResult::kRun;
}
