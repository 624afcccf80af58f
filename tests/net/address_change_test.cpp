// The address-change exchange over a scripted socket library: the request on
// the wire, which datagrams count as the adapter's confirmation, how long the
// wait lasts, and that a failed change leaves the record as it was.
#include "net/address_change.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "net/broadcast_channel.h"
#include "tests/net/fake_sockets.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

const Bytes kOk = Text("IFCONFIG OK");

// A discovery reply as an adapter sends it (42 bytes).
Bytes DiscoveryReply() {
    Bytes reply = Text("HELLO I AM PRUX");
    reply.resize(42, 0);
    reply[16] = 10;
    reply[17] = 231;
    reply[19] = 20;
    return reply;
}

Bytes RecordBytes(const AdapterRecord& record) {
    const auto* p = reinterpret_cast<const unsigned char*>(&record);
    return Bytes(p, p + sizeof(record));
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class AddressChangeTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(g_pBroadcastChannel, nullptr);
        // Adapter 10.231.0.20, MAC 00:1a:2b:3c:4d:5e; every other field is
        // distinct, so a byte taken from the wrong place shows.
        const unsigned char bytes[32] = {
            2,    0,    0,    0,    10, 231, 0, 20, 0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0xa1, 0xa2,
            0xa1, 0xa2, 0xa3, 0xa4, 10, 231, 0, 1,  0xb1, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8};
        std::memcpy(&m_record, bytes, sizeof(m_record));
        m_original = RecordBytes(m_record);
    }

    // A channel that opens cleanly on the fake: bound to 10.231.0.1.
    void OpenWorkingChannel() {
        m_fake.lookupAddress = {10, 231, 0, 1};
        OpenChannel();
        ASSERT_NE(g_pBroadcastChannel, nullptr);
        ASSERT_EQ(g_pBroadcastChannel->socket, FakeSockets::kSocket);
        m_fake.lookupAddress.clear();  // from here on, host names do not resolve
    }

    // Runs one change to 10.231.0.77 with `answer` arriving shortly after the request.
    bool ChangeWithAnswer(const Bytes& answer) {
        OpenWorkingChannel();
        m_fake.ArriveAfterSend(50, answer);
        return m_record.ChangeAddress("10.231.0.77");
    }

    void ExpectRecordUnchanged() { EXPECT_EQ(RecordBytes(m_record), m_original); }

    FakeSockets m_fake;  // closes the channel and restores the real library
    AdapterRecord m_record;
    Bytes m_original;
};

TEST_F(AddressChangeTest, RequestIsTheExact28BytesBroadcastOnce) {
    ASSERT_TRUE(ChangeWithAnswer(kOk));

    ASSERT_EQ(m_fake.sent.size(), 1u);
    const Bytes expected = {'P',  'R',  'U',  'X',  ' ',  'I',  'F',  'C', 'O', 'N',
                            'F',  'I',  'G',  0x00, 0x00, 0x00, 10,   231, 0,   77,
                            0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0xa1, 0xa2};
    EXPECT_EQ(m_fake.sent[0], expected);
    EXPECT_EQ(AddressBytes(m_fake.sentTo[0]), (Bytes{255, 255, 255, 255}));
    EXPECT_EQ(PortBytes(m_fake.sentTo[0]), (Bytes{0x23, 0x45}));  // 9029
    EXPECT_EQ(m_fake.receiveCapacities.back(), 256);

    // The record now holds the confirmed address and nothing else changed.
    Bytes changed = m_original;
    changed[7] = 77;
    EXPECT_EQ(RecordBytes(m_record), changed);
}

TEST_F(AddressChangeTest, AnswerRuleOnTheTextAlone) {
    auto check = [](const std::string& text) {
        return IsAddressChangeAnswer(reinterpret_cast<const BYTE*>(text.data()),
                                     static_cast<int>(text.size()));
    };
    EXPECT_TRUE(check("IFCONFIG OK"));
    EXPECT_TRUE(check("IFCONFIG "));
    EXPECT_TRUE(check(std::string("IFCONFIG \0\xff", 11)));  // only 9 bytes are compared
    EXPECT_FALSE(check("IFCONFIG"));
    EXPECT_FALSE(check("IFCONFIG:ERR"));
    EXPECT_FALSE(check("ifconfig ok"));
    EXPECT_FALSE(check(" IFCONFIG OK"));
    EXPECT_FALSE(check(""));
    EXPECT_FALSE(IsAddressChangeAnswer(nullptr, 11));
    EXPECT_FALSE(IsAddressChangeAnswer(reinterpret_cast<const BYTE*>("IFCONFIG OK"), -1));
}

TEST_F(AddressChangeTest, NineByteAnswerIsEnough) {
    EXPECT_TRUE(ChangeWithAnswer(Text("IFCONFIG ")));
}

TEST_F(AddressChangeTest, EightByteAnswerFails) {
    EXPECT_FALSE(ChangeWithAnswer(Text("IFCONFIG")));
    ExpectRecordUnchanged();
}

TEST_F(AddressChangeTest, AnswerOf256BytesFitsTheBuffer) {
    Bytes longest = Text("IFCONFIG OK");
    longest.resize(256, 'x');
    EXPECT_TRUE(ChangeWithAnswer(longest));
}

TEST_F(AddressChangeTest, AnswerOf257BytesIsAReceiveErrorAndFails) {
    Bytes tooLong = Text("IFCONFIG OK");
    tooLong.resize(257, 'x');
    EXPECT_FALSE(ChangeWithAnswer(tooLong));
    EXPECT_GE(m_fake.receives, 1);  // it did arrive, and was refused
    ExpectRecordUnchanged();
}

TEST_F(AddressChangeTest, WrongAnswerFailsAndLeavesTheRecord) {
    EXPECT_FALSE(ChangeWithAnswer(Text("IFCONFIG:ERR")));
    ExpectRecordUnchanged();
}

TEST_F(AddressChangeTest, StaleQueuedDatagramsAreNotTakenForTheAnswer) {
    OpenWorkingChannel();
    // Late replies of an earlier discovery, and a confirmation left over from
    // an earlier change, wait on the socket before the request goes out.
    m_fake.QueueDatagram(DiscoveryReply());
    m_fake.QueueDatagram(kOk);
    m_fake.ArriveAfterSend(100, kOk);
    EXPECT_TRUE(m_record.ChangeAddress("10.231.0.77"));
    EXPECT_TRUE(m_fake.datagrams.empty());
    EXPECT_EQ(m_fake.sent.size(), 1u);
}

TEST_F(AddressChangeTest, EndlessFloodCutsTheDrainShortAndTheRequestStillGoesOut) {
    OpenWorkingChannel();
    m_fake.flood = DiscoveryReply();  // before the request and after it
    m_fake.ArriveAfterSend(100, kOk);
    auto start = Clock::now();
    EXPECT_TRUE(m_record.ChangeAddress("10.231.0.77"));
    ASSERT_EQ(m_fake.sent.size(), 1u);
    // The drain takes some tens of milliseconds (a generous bound); draining
    // a fixed count of datagrams at the flood's pace would take seconds.
    double untilSent = std::chrono::duration<double>(m_fake.m_firstSend - start).count();
    EXPECT_LT(untilSent, 0.5);
}

TEST_F(AddressChangeTest, StaleConfirmationAloneDoesNotCount) {
    OpenWorkingChannel();
    m_fake.QueueDatagram(kOk);
    EXPECT_FALSE(m_record.ChangeAddress("10.231.0.77"));
    ExpectRecordUnchanged();
}

// A second card: stale answers wait on both sockets and are both drained,
// and the request leaves through each card.
TEST_F(AddressChangeTest, EveryCardIsDrainedAndCarriesTheRequest) {
    m_fake.interfaceAddresses = {{10, 231, 0, 1}, {10, 232, 0, 1}};
    OpenWorkingChannel();
    const SocketHandle second = FakeSockets::kSocket + 1;
    m_fake.QueueDatagram(kOk);
    m_fake.QueueDatagram(kOk, second);
    EXPECT_FALSE(m_record.ChangeAddress("10.231.0.77"));
    ExpectRecordUnchanged();
    EXPECT_EQ(m_fake.sentFrom, (std::vector<SocketHandle>{FakeSockets::kSocket, second}));
    ASSERT_EQ(m_fake.sent.size(), 2u);
    EXPECT_EQ(m_fake.sent[0], m_fake.sent[1]);
}

TEST_F(AddressChangeTest, AnswerThroughTheSecondCardCounts) {
    m_fake.interfaceAddresses = {{10, 232, 0, 1}};
    OpenWorkingChannel();
    m_fake.ArriveAfterSend(50, kOk, FakeSockets::kSocket + 1);
    EXPECT_TRUE(m_record.ChangeAddress("10.232.0.77"));
    EXPECT_EQ(m_record.address, (DWORD{htonl(0x0AE8004Du)}));
}

TEST_F(AddressChangeTest, OtherTrafficWithinTheSecondIsPassedOver) {
    OpenWorkingChannel();
    m_fake.ArriveAfterSend(50, DiscoveryReply());
    Bytes tooLong(300, 'I');
    m_fake.ArriveAfterSend(100, tooLong);  // a receive error
    m_fake.ArriveAfterSend(150, Text("IFCONFIG:ERR"));
    m_fake.ArriveAfterSend(400, kOk);
    auto start = Clock::now();
    EXPECT_TRUE(m_record.ChangeAddress("10.231.0.77"));
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.35);
    EXPECT_LT(elapsed, 0.95);
    EXPECT_EQ(m_fake.receives, 4);
}

TEST_F(AddressChangeTest, TrafficDoesNotStretchTheSecond) {
    OpenWorkingChannel();
    for (int ms = 100; ms <= 900; ms += 100)
        m_fake.ArriveAfterSend(ms, DiscoveryReply());
    m_fake.ArriveAfterSend(1400, kOk);  // too late
    auto start = Clock::now();
    EXPECT_FALSE(m_record.ChangeAddress("10.231.0.77"));
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 1.35);
    ExpectRecordUnchanged();
}

TEST_F(AddressChangeTest, NoAnswerFailsAfterAboutOneSecond) {
    OpenWorkingChannel();
    auto start = Clock::now();
    EXPECT_FALSE(m_record.ChangeAddress("10.231.0.77"));
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 2.0);
    EXPECT_EQ(m_fake.sent.size(), 1u);  // no retry
    ExpectRecordUnchanged();
}

TEST_F(AddressChangeTest, FailedSendIsReportedAndTheWaitStillRuns) {
    OpenWorkingChannel();
    m_fake.sendFails = true;
    CaptureStderr();
    auto start = Clock::now();
    EXPECT_FALSE(m_record.ChangeAddress("10.231.0.77"));
    double elapsed = SecondsSince(start);
    std::string diagnostics = GetCapturedStderr();
    EXPECT_EQ(diagnostics.rfind("sendto: ", 0), 0u) << diagnostics;
    EXPECT_GE(elapsed, 0.9);
    ExpectRecordUnchanged();
}

TEST_F(AddressChangeTest, UnresolvableOrRefusedAddressesSendNothing) {
    OpenWorkingChannel();
    // Dotted texts the library parses, and names it resolves, to addresses no
    // adapter may take; numbers it reads otherwise than they read; and a
    // name that does not resolve at all.
    struct Case {
        const char* text;
        Bytes lookup;
    };
    const Case cases[] = {
        {"no-such-adapter", {}},
        {"0.0.0.0", {}},
        {"0.10.20.30", {}},
        {"127.0.0.1", {}},
        {"127.255.255.254", {}},
        {"224.0.0.1", {}},
        {"239.255.255.250", {}},
        {"240.0.0.1", {}},
        {"255.255.255.255", {255, 255, 255, 255}},  // left to the host-name lookup
        {"localhost", {127, 0, 0, 1}},
        {"10.231.0.077", {}},
        {"10.77", {}},
        {"0x0a.231.0.77", {}},
    };
    auto start = Clock::now();
    for (const Case& c : cases) {
        m_fake.lookupAddress = c.lookup;
        EXPECT_FALSE(m_record.ChangeAddress(c.text)) << c.text;
        ExpectRecordUnchanged();
    }
    EXPECT_TRUE(m_fake.sent.empty());
    EXPECT_EQ(m_fake.waits, 0);
    EXPECT_LT(SecondsSince(start), 0.5);
}

TEST_F(AddressChangeTest, AssignableAddressBoundaries) {
    auto assignable = [](std::initializer_list<unsigned char> octets) {
        DWORD address = 0;
        std::memcpy(&address, octets.begin(), 4);
        return IsAssignableAdapterAddress(address);
    };
    EXPECT_FALSE(assignable({0, 255, 255, 255}));
    EXPECT_TRUE(assignable({1, 0, 0, 0}));
    EXPECT_TRUE(assignable({126, 255, 255, 255}));
    EXPECT_FALSE(assignable({127, 0, 0, 0}));
    EXPECT_TRUE(assignable({128, 0, 0, 0}));
    EXPECT_TRUE(assignable({223, 255, 255, 255}));
    EXPECT_FALSE(assignable({224, 0, 0, 0}));
    EXPECT_FALSE(assignable({255, 255, 255, 255}));
}

TEST_F(AddressChangeTest, HostNameIsResolvedAndItsAddressSent) {
    OpenWorkingChannel();
    m_fake.lookupAddress = {192, 168, 10, 200};
    m_fake.ArriveAfterSend(50, kOk);
    EXPECT_TRUE(m_record.ChangeAddress("adapter-new.lab"));
    EXPECT_EQ(m_fake.lookups.back(), "adapter-new.lab");
    ASSERT_EQ(m_fake.sent.size(), 1u);
    EXPECT_EQ(Bytes(m_fake.sent[0].begin() + 16, m_fake.sent[0].begin() + 20),
              (Bytes{192, 168, 10, 200}));
    CString ip;
    m_record.GetIpText(ip);
    EXPECT_STREQ(ip, "192.168.10.200");
}

TEST_F(AddressChangeTest, NameResolvingToAnotherFamilyIsRefused) {
    OpenWorkingChannel();
    m_fake.lookupAddress = {10, 231, 0, 77};
    m_fake.lookupFamily = 23;  // what an IPv6 lookup would announce
    EXPECT_FALSE(m_record.ChangeAddress("adapter-v6"));
    EXPECT_TRUE(m_fake.sent.empty());
    ExpectRecordUnchanged();
}

TEST_F(AddressChangeTest, OnlyARecordFromDiscoveryIsSentFor) {
    OpenWorkingChannel();
    m_fake.ArriveAfterSend(50, kOk);
    for (LONG family : {0L, 1L, 23L, -2L}) {
        m_record.family = family;
        m_original = RecordBytes(m_record);
        EXPECT_EQ(SendAddressChange("10.231.0.77", m_record), -1) << family;
        ExpectRecordUnchanged();
    }
    EXPECT_TRUE(m_fake.sent.empty());
}

TEST_F(AddressChangeTest, WithoutChannelNothingIsSent) {
    EXPECT_FALSE(m_record.ChangeAddress("10.231.0.77"));
    EXPECT_TRUE(m_fake.sent.empty());
    EXPECT_EQ(m_fake.waits, 0);
    ExpectRecordUnchanged();
}

TEST_F(AddressChangeTest, TextIsCutAfter1023Characters) {
    OpenWorkingChannel();
    EXPECT_FALSE(m_record.ChangeAddress(CString('a', 2000)));
    ASSERT_EQ(m_fake.lookups.size(), 2u);  // the channel's own host name, then this one
    EXPECT_EQ(m_fake.lookups[1], std::string(1023, 'a'));

    // A text of exactly 1023 characters reaches the resolver whole.
    std::string name(1022, 'b');
    name += 'c';
    m_record.ChangeAddress(name.c_str());
    EXPECT_EQ(m_fake.lookups.back(), name);
}

}  // namespace
