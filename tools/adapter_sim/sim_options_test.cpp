#include <gtest/gtest.h>

#include <set>

#include "tools/adapter_sim/sim_options.h"

namespace {

ParseResult Parse(std::vector<std::string> args, SimOptions& options, std::string& error) {
    return ParseSimOptions(args, options, error);
}

TEST(SimOptionsTest, DefaultsWithoutArguments) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(Parse({}, options, error), ParseResult::kRun);
    EXPECT_EQ(options.port, 9029);
    EXPECT_EQ(options.bindAddress, (Octets4{0, 0, 0, 0}));
    EXPECT_TRUE(options.adapters.empty());
    EXPECT_EQ(options.shortLength, -1);
    EXPECT_EQ(options.lifetimeSeconds, 60);
    EXPECT_TRUE(options.logPath.empty());
}

TEST(SimOptionsTest, AdapterArgumentsKeepOrderAndEveryField) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(Parse({"--adapter", "10.231.0.20,00:1A:2b:3c:4d:5e", "--adapter",
                     "192.168.7.9,02:00:00:00:00:01,10.231.0.1,a1a2a3a4b1b2b3b4b5b6b7b8",
                     "--adapter=1.2.3.4,ff:ff:ff:ff:ff:fe,0,cafe"},
                    options, error),
              ParseResult::kRun)
        << error;
    ASSERT_EQ(options.adapters.size(), 3u);

    const SimAdapter& first = options.adapters[0];
    EXPECT_EQ(first.address, (Octets4{10, 231, 0, 20}));
    EXPECT_EQ(first.mac, (MacAddress{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}));
    EXPECT_EQ(first.controller, (Octets4{0, 0, 0, 0}));

    const SimAdapter& second = options.adapters[1];
    EXPECT_EQ(second.controller, (Octets4{10, 231, 0, 1}));
    EXPECT_EQ(second.extra, (std::array<std::uint8_t, 12>{0xa1, 0xa2, 0xa3, 0xa4, 0xb1, 0xb2, 0xb3,
                                                          0xb4, 0xb5, 0xb6, 0xb7, 0xb8}));

    const SimAdapter& third = options.adapters[2];
    EXPECT_EQ(third.address, (Octets4{1, 2, 3, 4}));
    EXPECT_EQ(third.extra[0], 0xca);
    EXPECT_EQ(third.extra[1], 0xfe);
    EXPECT_EQ(third.extra[2], 0x00);
}

TEST(SimOptionsTest, ValuedOptionsAndFlags) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(
        Parse({"--bind",          "10.231.0.2", "--port=010",   "--silent",     "aa:bb:cc:dd:ee:ff",
               "--duplicate",     "--short",    "15",           "--foreign",    "--oversized",
               "--delay-ms",      "250",        "--spread-ms",  "1500",         "--wrong-answer",
               "--ignore-change", "--log",      "/tmp/sim.log", "--ready-file", "ready",
               "--lifetime",      "5"},
              options, error),
        ParseResult::kRun)
        << error;
    EXPECT_EQ(options.bindAddress, (Octets4{10, 231, 0, 2}));
    EXPECT_EQ(options.port, 10);  // decimal, not octal
    ASSERT_EQ(options.silent.size(), 1u);
    EXPECT_EQ(options.silent[0][5], 0xff);
    EXPECT_TRUE(options.duplicate && options.foreign && options.oversized);
    EXPECT_TRUE(options.wrongAnswer && options.ignoreChange);
    EXPECT_EQ(options.shortLength, 15);
    EXPECT_EQ(options.delayMs, 250);
    EXPECT_EQ(options.spreadMs, 1500);
    EXPECT_EQ(options.logPath, "/tmp/sim.log");  // a value on Windows too
    EXPECT_EQ(options.readyFile, "ready");
    EXPECT_EQ(options.lifetimeSeconds, 5);
}

TEST(SimOptionsTest, HelpDescribesEveryOptionAndTheFaultModes) {
    SimOptions options;
    std::string error;
    EXPECT_EQ(Parse({"--port", "1", "--help"}, options, error), ParseResult::kHelp);
    std::string usage = SimUsageText();
    for (const char* option :
         {"--bind", "--port", "--adapter", "--generate", "--subnet", "Fault modes", "--silent",
          "--duplicate", "--short", "--foreign", "--oversized", "--delay-ms", "--spread-ms",
          "--wrong-answer", "--ignore-change", "--log", "--ready-file", "--lifetime"})
        EXPECT_NE(usage.find(option), std::string::npos) << option << " is not documented";
}

TEST(SimOptionsTest, RejectsBadInputWithReasonNamingTheProblem) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--port", "0"}, "--port"},
        {{"--port", "65536"}, "--port"},
        {{"--port", "0x10"}, "--port"},
        {{"--port", " 5"}, "--port"},
        {{"--port", "-5"}, "--port"},
        {{"--bind", "10.231.0"}, "--bind"},
        {{"--bind", "10.231.0.256"}, "--bind"},
        {{"--bind", "10.231.0.1 "}, "--bind"},
        {{"--adapter", "10.231.0.5"}, "IP,MAC"},
        {{"--adapter", "10.231.0.5,aa:bb:cc:dd:ee"}, "MAC"},
        {{"--adapter", "10.231.0.5,aa:bb:cc:dd:ee:fg"}, "MAC"},
        {{"--adapter", "10.231.0.5,aabbccddeeff"}, "MAC"},
        {{"--adapter", "x.231.0.5,aa:bb:cc:dd:ee:ff"}, "IPv4"},
        {{"--adapter", "10.231.0.5,aa:bb:cc:dd:ee:ff,none"}, "controller"},
        {{"--adapter", "10.231.0.5,aa:bb:cc:dd:ee:ff,0,abc"}, "EXTRA"},
        {{"--adapter", "10.231.0.5,aa:bb:cc:dd:ee:ff,0,zz"}, "EXTRA"},
        {{"--adapter", "10.231.0.5,aa:bb:cc:dd:ee:ff,0,00112233445566778899aabbcc"}, "EXTRA"},
        {{"--adapter", "10.231.0.5,aa:bb:cc:dd:ee:ff,0,00,extra"}, "IP,MAC"},
        {{"--adapter", "10.231.0.5,aa:bb:cc:dd:ee:ff", "10.231.0.6,aa:bb:cc:dd:ee:fe"},
         "unexpected argument"},
        {{"--silent", "aa-bb-cc-dd-ee-ff"}, "--silent"},
        {{"--short", "42"}, "--short"},
        {{"--delay-ms", "60001"}, "--delay-ms"},
        {{"--spread-ms", "-1"}, "--spread-ms"},
        {{"--lifetime", "0"}, "--lifetime"},
        {{"--lifetime", "3601"}, "--lifetime"},
        {{"--subnet", "10.231.0.0"}, "--subnet"},
        {{"--subnet", "10.231.0.0/31"}, "--subnet"},
        {{"--generate", "255", "--subnet", "10.231.7.0/24"}, "does not fit"},
        {{"--log", ""}, "--log"},
        {{"--frobnicate"}, "\"--frobnicate\""},
        {{"stray"}, "unexpected argument"},
    };
    for (const auto& [args, expected] : cases) {
        SimOptions options;
        std::string error;
        EXPECT_EQ(Parse(args, options, error), ParseResult::kError) << args[0];
        EXPECT_NE(error.find(expected), std::string::npos)
            << "for " << args[0] << ": \"" << error << "\" does not mention " << expected;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(SimOptionsTest, GeneratedAdaptersAreDistinctAndDeterministic) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(
        Parse({"--adapter", "10.231.0.9,00:00:00:00:00:09", "--generate", "1000"}, options, error),
        ParseResult::kRun)
        << error;
    ASSERT_EQ(options.adapters.size(), 1001u);
    EXPECT_EQ(options.adapters[0].address, (Octets4{10, 231, 0, 9}));  // explicit ones first

    std::set<Octets4> addresses;
    std::set<std::array<std::uint8_t, 3>> macTails;
    for (size_t i = 1; i < options.adapters.size(); ++i) {
        const SimAdapter& a = options.adapters[i];
        addresses.insert(a.address);
        macTails.insert({a.mac[3], a.mac[4], a.mac[5]});
        EXPECT_EQ(a.address[0], 10);
        EXPECT_EQ(a.address[1], 231);
        EXPECT_GE(a.address[2], 128);  // inside the default 10.231.128.0/17
    }
    EXPECT_EQ(addresses.size(), 1000u);
    EXPECT_EQ(macTails.size(), 1000u);
    EXPECT_EQ(options.adapters[1].address, (Octets4{10, 231, 128, 1}));
    EXPECT_EQ(options.adapters[256].address, (Octets4{10, 231, 129, 0}));
    EXPECT_EQ(options.adapters[1000].mac, (MacAddress{0x02, 0x7e, 0xa0, 0x00, 0x03, 0xe8}));

    SimOptions again;
    ASSERT_EQ(
        Parse({"--adapter", "10.231.0.9,00:00:00:00:00:09", "--generate", "1000"}, again, error),
        ParseResult::kRun);
    for (size_t i = 0; i < again.adapters.size(); ++i) {
        EXPECT_EQ(again.adapters[i].address, options.adapters[i].address);
        EXPECT_EQ(again.adapters[i].mac, options.adapters[i].mac);
    }
}

TEST(SimOptionsTest, GenerateFillsASmallSubnetExactly) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(Parse({"--subnet", "10.231.7.77/24", "--generate", "254"}, options, error),
              ParseResult::kRun)
        << error;
    EXPECT_EQ(options.adapters.front().address, (Octets4{10, 231, 7, 1}));
    EXPECT_EQ(options.adapters.back().address, (Octets4{10, 231, 7, 254}));
}

}  // namespace
