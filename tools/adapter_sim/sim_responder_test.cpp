#include <gtest/gtest.h>

#include <cstring>

#include "tools/adapter_sim/sim_responder.h"

namespace {

Datagram Bytes(std::initializer_list<int> values) {
    Datagram bytes;
    for (int v : values)
        bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

Datagram Text(const char* text, size_t length) {
    return Datagram(reinterpret_cast<const std::uint8_t*>(text),
                    reinterpret_cast<const std::uint8_t*>(text) + length);
}

const Datagram kHello = Text("HELLO PRUX", 11);

SimOptions Options(std::vector<std::string> args) {
    SimOptions options;
    std::string error;
    EXPECT_EQ(ParseSimOptions(args, options, error), ParseResult::kRun) << error;
    return options;
}

std::vector<Datagram> Send(CSimResponder& responder, const Datagram& request) {
    return responder.Respond(request.data(), request.size());
}

Datagram ChangeRequest(Octets4 address, MacAddress mac) {
    Datagram request(28, 0);
    std::memcpy(request.data(), "PRUX IFCONFIG", 14);
    std::memcpy(request.data() + 16, address.data(), 4);
    std::memcpy(request.data() + 20, mac.data(), 6);
    request[26] = 0x77;  // the two record bytes after the MAC: not compared
    request[27] = 0x88;
    return request;
}

TEST(SimResponderTest, DiscoveryReplyHasTheWireLayout) {
    CSimResponder responder(Options(
        {"--adapter", "10.231.0.20,00:1a:2b:3c:4d:5e,10.231.0.1,a1a2a3a4b1b2b3b4b5b6b7b8"}));
    auto answers = Send(responder, kHello);
    ASSERT_EQ(answers.size(), 1u);
    // "HELLO I AM PRUX", byte 15, IP, MAC, opaque 26-29, controller, opaque 34-41.
    EXPECT_EQ(answers[0], Bytes({'H',  'E',  'L',  'L',  'O',  ' ',  'I',  ' ',  'A', 'M',  ' ',
                                 'P',  'R',  'U',  'X',  0x00, 10,   231,  0,    20,  0x00, 0x1a,
                                 0x2b, 0x3c, 0x4d, 0x5e, 0xa1, 0xa2, 0xa3, 0xa4, 10,  231,  0,
                                 1,    0xb1, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8}));
}

TEST(SimResponderTest, AnswersInConfiguredOrderSkippingSilentAndDuplicating) {
    CSimResponder responder(
        Options({"--adapter", "10.0.0.1,00:00:00:00:00:01", "--adapter",
                 "10.0.0.2,00:00:00:00:00:02", "--adapter", "10.0.0.3,00:00:00:00:00:03",
                 "--silent", "00:00:00:00:00:02", "--duplicate"}));
    auto answers = Send(responder, kHello);
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[0][19], 1);
    EXPECT_EQ(answers[1], answers[0]);
    EXPECT_EQ(answers[2][19], 3);
    EXPECT_EQ(answers[3], answers[2]);
}

TEST(SimResponderTest, FaultyExtrasFollowTheAnswers) {
    CSimResponder responder(Options(
        {"--adapter", "10.0.0.1,00:00:00:00:00:01", "--short", "15", "--foreign", "--oversized"}));
    auto answers = Send(responder, kHello);
    ASSERT_EQ(answers.size(), 4u);
    const Datagram& reply = answers[0];
    EXPECT_EQ(answers[1], Text("HELLO I AM PRUX", 15));

    ASSERT_EQ(answers[2].size(), 42u);
    EXPECT_EQ(std::memcmp(answers[2].data(), "HELLO I AM PRUY", 15), 0);
    EXPECT_TRUE(std::equal(reply.begin() + 15, reply.end(), answers[2].begin() + 15));

    ASSERT_EQ(answers[3].size(), 45u);
    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), answers[3].begin()));
}

TEST(SimResponderTest, ExtrasAreSentEvenWithoutAdapters) {
    CSimResponder responder(Options({"--short", "0", "--oversized"}));
    auto answers = Send(responder, kHello);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_TRUE(answers[0].empty());
    EXPECT_EQ(answers[1].size(), 45u);
}

TEST(SimResponderTest, IgnoresWhatIsNotARequest) {
    CSimResponder responder(Options({"--adapter", "10.0.0.1,00:00:00:00:00:01"}));
    EXPECT_TRUE(Send(responder, Text("HELLO PRUX", 10)).empty());  // NUL missing
    EXPECT_TRUE(Send(responder, Text("HELLO PRUY", 11)).empty());
    EXPECT_TRUE(Send(responder, Send(responder, kHello)[0]).empty());  // an answer of its own
    EXPECT_TRUE(Send(responder, Datagram{}).empty());
    Datagram change = ChangeRequest({1, 2, 3, 4}, {0, 0, 0, 0, 0, 1});
    change.pop_back();
    EXPECT_TRUE(Send(responder, change).empty());  // 27 bytes
    change.resize(29, 0);
    EXPECT_TRUE(Send(responder, change).empty());  // 29 bytes
    // Longer discovery requests still start with the request text.
    Datagram longHello = kHello;
    longHello.push_back('!');
    EXPECT_EQ(Send(responder, longHello).size(), 1u);
}

TEST(SimResponderTest, AddressChangeGoesToTheMatchingAdapterOnly) {
    CSimResponder responder(Options(
        {"--adapter", "10.0.0.1,00:00:00:aa:bb:01", "--adapter", "10.0.0.2,00:00:00:aa:bb:02"}));
    EXPECT_TRUE(Send(responder, ChangeRequest({10, 9, 9, 9}, {0, 0, 0, 0xaa, 0xbb, 0x03})).empty());

    auto answers = Send(responder, ChangeRequest({10, 9, 9, 9}, {0, 0, 0, 0xaa, 0xbb, 0x02}));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], Text("IFCONFIG OK", 11));

    auto replies = Send(responder, kHello);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(Datagram(replies[0].begin() + 16, replies[0].begin() + 20), Bytes({10, 0, 0, 1}));
    EXPECT_EQ(Datagram(replies[1].begin() + 16, replies[1].begin() + 20), Bytes({10, 9, 9, 9}));
}

TEST(SimResponderTest, ChangeFaultModesKeepTheOldAddress) {
    const MacAddress mac{0, 0, 0, 0xaa, 0xbb, 0x01};
    for (const char* fault : {"--wrong-answer", "--ignore-change", "--silent"}) {
        std::vector<std::string> args = {"--adapter", "10.0.0.1,00:00:00:aa:bb:01", fault};
        if (std::string(fault) == "--silent")
            args.push_back("00:00:00:aa:bb:01");
        CSimResponder responder(Options(args));
        auto answers = Send(responder, ChangeRequest({10, 9, 9, 9}, mac));
        if (std::string(fault) == "--wrong-answer") {
            ASSERT_EQ(answers.size(), 1u);
            EXPECT_NE(std::memcmp(answers[0].data(), "IFCONFIG ", 9), 0);
            EXPECT_EQ(std::memcmp(answers[0].data(), "IFCONFIG", 8), 0);
        } else {
            EXPECT_TRUE(answers.empty()) << fault;
        }
        EXPECT_EQ(responder.GetAdapters()[0].address, (Octets4{10, 0, 0, 1})) << fault;
    }
}

}  // namespace
