// The discovery exchange over a scripted socket library: what is sent, which
// datagrams become records and in what order, and how long it lasts when the
// channel is broken.
#include "net/discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "net/broadcast_channel.h"
#include "tests/net/fake_sockets.h"
#include "tests/support/cstring_printer.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

std::vector<AdapterRecord> g_received;

void Collect(const AdapterRecord* record) {
    g_received.push_back(*record);
}

// A reply from adapter 10.231.0.<n> with MAC 02:00:5e:00:00:<n>, no controller.
Bytes Reply(unsigned char n, size_t length = 42) {
    const unsigned char head[26] = {'H', 'E', 'L',  'L',  'O',  ' ',  'I',  ' ', 'A',
                                    'M', ' ', 'P',  'R',  'U',  'X',  0x00, 10,  231,
                                    0,   n,   0x02, 0x00, 0x5E, 0x00, 0x00, n};
    Bytes reply(length, 0x00);
    for (size_t i = 0; i < length && i < sizeof(head); ++i)
        reply[i] = head[i];
    return reply;
}

CString IpOf(const AdapterRecord& record) {
    CString text;
    record.GetIpText(text);
    return text;
}

CString MacOf(const AdapterRecord& record) {
    CString text;
    record.GetMacText(text);
    return text;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class DiscoveryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(g_pBroadcastChannel, nullptr);
        g_received.clear();
    }
    // A channel that opens cleanly on the fake: bound to 10.231.0.1.
    void OpenWorkingChannel() {
        m_fake.lookupAddress = {10, 231, 0, 1};
        OpenChannel();
        ASSERT_NE(g_pBroadcastChannel, nullptr);
        ASSERT_EQ(g_pBroadcastChannel->socket, FakeSockets::kSocket);
    }

    FakeSockets m_fake;  // closes the channel and restores the real library
};

TEST_F(DiscoveryTest, WithoutChannelFailsAtOnceAndSendsNothing) {
    auto start = Clock::now();
    EXPECT_EQ(DiscoverAdapters(2, Collect), -1);
    EXPECT_LT(SecondsSince(start), 0.5);
    EXPECT_TRUE(m_fake.sent.empty());
    EXPECT_EQ(m_fake.waits, 0);
    EXPECT_TRUE(g_received.empty());
}

TEST_F(DiscoveryTest, RepliesAreHandedOverInArrivalOrderAndOthersDropped) {
    OpenWorkingChannel();
    m_fake.QueueDatagram(Reply(7));
    m_fake.QueueDatagram(Reply(8, 14));  // too short
    Bytes foreign = Reply(9);
    foreign[6] = 'i';
    m_fake.QueueDatagram(foreign);
    m_fake.QueueDatagram(Reply(10, 45));  // longer than the 44-byte buffer
    m_fake.QueueDatagram(Reply(11, 15));  // the tag alone: a zero record
    m_fake.QueueDatagram(Reply(7));       // the same adapter again
    m_fake.QueueDatagram(Reply(12, 44));
    m_fake.QueueDatagram(Bytes());

    auto start = Clock::now();
    EXPECT_EQ(DiscoverAdapters(1, Collect), 0);
    double elapsed = SecondsSince(start);

    // Exactly one request: "HELLO PRUX" and its NUL, to 255.255.255.255:9029.
    const Bytes request = {'H', 'E', 'L', 'L', 'O', ' ', 'P', 'R', 'U', 'X', 0x00};
    ASSERT_EQ(m_fake.sent.size(), 1u);
    EXPECT_EQ(m_fake.sent[0], request);
    EXPECT_EQ(AddressBytes(m_fake.sentTo[0]), Bytes({255, 255, 255, 255}));
    EXPECT_EQ(PortBytes(m_fake.sentTo[0]), Bytes({0x23, 0x45}));

    ASSERT_EQ(g_received.size(), 4u);
    EXPECT_EQ(IpOf(g_received[0]), "10.231.0.7");
    EXPECT_EQ(MacOf(g_received[0]), "02:00:5e:00:00:07");
    EXPECT_EQ(IpOf(g_received[1]), "0.0.0.0");
    EXPECT_EQ(MacOf(g_received[1]), "00:00:00:00:00:00");
    EXPECT_EQ(g_received[1].family, 2);
    EXPECT_EQ(IpOf(g_received[2]), "10.231.0.7");
    EXPECT_EQ(IpOf(g_received[3]), "10.231.0.12");

    // Every datagram was read, each into the 44-byte reply buffer, all after
    // one wait: a single receive more found the socket empty.
    EXPECT_TRUE(m_fake.datagrams.empty());
    EXPECT_EQ(m_fake.receiveCapacities, std::vector<int>(9, 44));
    // The exchange lasts its second whatever arrives (generous bounds).
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 2.5);
}

TEST_F(DiscoveryTest, OneRequestPerCardAndRepliesThroughAnyAreHandedOver) {
    // The host name's address is also in the interface list: still one card.
    m_fake.interfaceAddresses = {{10, 231, 0, 1}};
    OpenWorkingChannel();
    EXPECT_EQ(DiscoverAdapters(1, Collect), 0);
    EXPECT_EQ(m_fake.sentFrom, std::vector<SocketHandle>({FakeSockets::kSocket}));

    // A second card got its address meanwhile: the next discovery uses it.
    m_fake.interfaceAddresses.push_back({10, 232, 0, 1});
    const SocketHandle second = FakeSockets::kSocket + 1;
    m_fake.QueueDatagram(Reply(8));
    m_fake.QueueDatagram(Reply(9), second);
    m_fake.sent.clear();
    m_fake.sentFrom.clear();
    EXPECT_EQ(DiscoverAdapters(1, Collect), 0);
    EXPECT_EQ(m_fake.sentFrom, std::vector<SocketHandle>({FakeSockets::kSocket, second}));
    ASSERT_EQ(m_fake.sent.size(), 2u);
    EXPECT_EQ(m_fake.sent[0], m_fake.sent[1]);
    std::vector<std::string> found;
    for (const AdapterRecord& record : g_received)
        found.push_back(IpOf(record).GetString());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"10.231.0.8", "10.231.0.9"}));
}

// Datagrams are read until the socket is empty; one that never empties must
// neither stretch the exchange nor keep another card's answers unread.
TEST_F(DiscoveryTest, AFloodOnOneCardNeitherStretchesTheExchangeNorHidesAnother) {
    m_fake.interfaceAddresses = {{10, 232, 0, 1}};
    OpenWorkingChannel();
    m_fake.flood = Reply(5);
    m_fake.ArriveAfterSend(300, Reply(9), FakeSockets::kSocket + 1);
    auto start = Clock::now();
    EXPECT_EQ(DiscoverAdapters(1, Collect), 0);
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 2.5);
    EXPECT_TRUE(std::any_of(g_received.begin(), g_received.end(),
                            [](const AdapterRecord& r) { return IpOf(r) == "10.231.0.9"; }));
    EXPECT_GT(g_received.size(), 100u);
}

TEST_F(DiscoveryTest, FailedSendIsReportedAndTheExchangeStillListens) {
    OpenWorkingChannel();
    m_fake.sendFails = true;
    m_fake.QueueDatagram(Reply(3));
    CaptureStderr();
    EXPECT_EQ(DiscoverAdapters(1, Collect), 0);
    std::string captured = GetCapturedStderr();
    EXPECT_EQ(captured.rfind("sendto: ", 0), 0u) << captured;
    EXPECT_EQ(captured.find('\n'), captured.size() - 1) << captured;
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(IpOf(g_received[0]), "10.231.0.3");
}

// A host-name socket whose bind failed can neither send nor hear (on Windows
// every receive from it fails): the exchange leaves it alone, and a card on
// its subnet carries the request and the answers without the drain spinning.
TEST_F(DiscoveryTest, UnboundHostNameSocketIsLeftToTheCards) {
    m_fake.lookupAddress = {10, 231, 0, 1};
    m_fake.refusedBinds = {{10, 231, 0, 1}};
    CaptureStderr();
    OpenChannel();
    m_fake.QueueDatagram(Reply(4));  // never readable there
    EXPECT_EQ(DiscoverAdapters(1, Collect), 0);
    EXPECT_NE(GetCapturedStderr().find("sendto: "), std::string::npos);
    EXPECT_TRUE(m_fake.sent.empty());
    EXPECT_TRUE(g_received.empty());
    EXPECT_EQ(m_fake.receives, 0);

    m_fake.interfaceAddresses = {{10, 231, 0, 1}, {10, 231, 0, 2}};
    m_fake.ArriveAfterSend(100, Reply(5), FakeSockets::kSocket + 1);
    CaptureStderr();
    EXPECT_EQ(DiscoverAdapters(1, Collect), 0);
    GetCapturedStderr();
    EXPECT_EQ(m_fake.sentFrom, std::vector<SocketHandle>({FakeSockets::kSocket + 1}));
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(IpOf(g_received[0]), "10.231.0.5");
    EXPECT_EQ(m_fake.receivedFrom.count(FakeSockets::kSocket), 0u);
    EXPECT_LE(m_fake.receives, 10);
}

TEST_F(DiscoveryTest, ChannelWithoutSocketWaitsInsteadOfSpinning) {
    m_fake.hostName = "unresolvable";  // no lookup result: no socket
    OpenChannel();
    ASSERT_NE(g_pBroadcastChannel, nullptr);
    ASSERT_EQ(g_pBroadcastChannel->socket, kInvalidSocket);

    CaptureStderr();
    auto start = Clock::now();
    EXPECT_EQ(DiscoverAdapters(2, Collect), 0);
    double elapsed = SecondsSince(start);
    std::string captured = GetCapturedStderr();

    EXPECT_EQ(captured.rfind("sendto: ", 0), 0u) << captured;
    EXPECT_TRUE(g_received.empty());
    EXPECT_EQ(m_fake.receives, 0);
    EXPECT_GE(elapsed, 1.8);
    EXPECT_LT(elapsed, 3.5);
    // Each wait fails at once and is made to last its time, so a handful fill
    // the two seconds; a loop retrying at once would make millions.
    EXPECT_GE(m_fake.waits, 1);
    EXPECT_LE(m_fake.waits, 50);
}

TEST_F(DiscoveryTest, FailingWaitsTakeTheirTime) {
    OpenWorkingChannel();
    m_fake.waitFails = true;
    auto start = Clock::now();
    EXPECT_EQ(DiscoverAdapters(1, Collect), 0);
    double elapsed = SecondsSince(start);
    // A handful of waits (a timer that wakes a little early adds a short
    // one); a loop retrying at once would make millions.
    EXPECT_GE(m_fake.waits, 1);
    EXPECT_LE(m_fake.waits, 50);
    EXPECT_EQ(m_fake.receives, 0);
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 2.5);
}

}  // namespace
