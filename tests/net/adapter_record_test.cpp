// Discovery replies turned into adapter records, and the texts shown for them.
// Every expected byte below is written out by hand from the reply layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "net/adapter_record.h"
#include "net/discovery.h"
#include "tests/support/cstring_printer.h"

namespace {

// The family tag is a host-order 32-bit integer; both targets are little-endian.
static_assert(std::endian::native == std::endian::little);

using Bytes = std::vector<unsigned char>;

const Bytes kTag = {'H', 'E', 'L', 'L', 'O', ' ', 'I', ' ', 'A', 'M', ' ', 'P', 'R', 'U', 'X'};

// A full 42-byte reply: tag, one uninterpreted byte, address 192.168.5.17,
// MAC 00:1a:2b:c3:d4:e5, carried A1..A4, controller 10.0.0.9, carried B1..B4
// and C1..C4.
Bytes FullReply() {
    Bytes reply = kTag;
    Bytes rest = {0x7E,                                // 15
                  0xC0, 0xA8, 0x05, 0x11,              // 16-19
                  0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xE5,  // 20-25
                  0xA1, 0xA2, 0xA3, 0xA4,              // 26-29
                  0x0A, 0x00, 0x00, 0x09,              // 30-33
                  0xB1, 0xB2, 0xB3, 0xB4,              // 34-37
                  0xC1, 0xC2, 0xC3, 0xC4};             // 38-41
    reply.insert(reply.end(), rest.begin(), rest.end());
    return reply;
}

const Bytes kFullRecord = {0x02, 0x00, 0x00, 0x00,                          // family
                           0xC0, 0xA8, 0x05, 0x11,                          // address
                           0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xE5, 0xA1, 0xA2,  // MAC + 26-27
                           0xA1, 0xA2, 0xA3, 0xA4,                          // 26-29 again
                           0x0A, 0x00, 0x00, 0x09,                          // controller
                           0xB1, 0xB2, 0xB3, 0xB4,                          // 34-37
                           0xC1, 0xC2, 0xC3, 0xC4};                         // 38-41

// Parses into a record that starts full of garbage, so nothing passes by
// accident of a zeroed stack.
bool Parse(const Bytes& reply, AdapterRecord& record) {
    std::memset(&record, 0xCC, sizeof(record));
    return ParseDiscoveryReply(reply.data(), static_cast<int>(reply.size()), record);
}

Bytes RecordBytes(const AdapterRecord& record) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&record);
    return Bytes(p, p + sizeof(record));
}

TEST(DiscoveryReplyTest, FullReplyFillsEveryFieldWithBytes26And27Twice) {
    AdapterRecord record;
    Bytes reply = FullReply();
    ASSERT_EQ(reply.size(), 42u);
    ASSERT_TRUE(Parse(reply, record));
    EXPECT_EQ(RecordBytes(record), kFullRecord);
    EXPECT_EQ(record.family, 2);
}

TEST(DiscoveryReplyTest, LengthLimits) {
    AdapterRecord record;
    // Up to 44 bytes are read; bytes 42 and 43 mean nothing.
    Bytes reply44 = FullReply();
    reply44.push_back(0xEE);
    reply44.push_back(0xEF);
    ASSERT_TRUE(Parse(reply44, record));
    EXPECT_EQ(RecordBytes(record), kFullRecord);

    // One byte more than the receive buffer holds is not a reply.
    Bytes reply45 = reply44;
    reply45.push_back(0xF0);
    EXPECT_FALSE(Parse(reply45, record));

    // The tag alone is a reply; everything it does not supply counts as zero.
    ASSERT_TRUE(Parse(kTag, record));
    Bytes zeroRecord(32, 0x00);
    zeroRecord[0] = 0x02;
    EXPECT_EQ(RecordBytes(record), zeroRecord);

    // A reply cut off after byte 27: the two bytes shared by the hardware and
    // the carried field arrive, the rest of the carried field is zero.
    Bytes reply28 = FullReply();
    reply28.resize(28);
    ASSERT_TRUE(Parse(reply28, record));
    const Bytes expected28 = {0x02, 0x00, 0x00, 0x00, 0xC0, 0xA8, 0x05, 0x11, 0x00, 0x1A, 0x2B,
                              0xC3, 0xD4, 0xE5, 0xA1, 0xA2, 0xA1, 0xA2, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(RecordBytes(record), expected28);
}

TEST(DiscoveryReplyTest, DatagramsThatAreNotRepliesAreRejected) {
    AdapterRecord record;
    Bytes short14(kTag.begin(), kTag.end() - 1);
    EXPECT_FALSE(Parse(short14, record));
    EXPECT_FALSE(Parse(Bytes(), record));

    Bytes lowerCase = FullReply();
    lowerCase[14] = 'x';
    EXPECT_FALSE(Parse(lowerCase, record));
    Bytes firstByte = FullReply();
    firstByte[0] = 'J';
    EXPECT_FALSE(Parse(firstByte, record));

    // Our own request, should it ever come back, is not an answer.
    const Bytes request = {'H', 'E', 'L', 'L', 'O', ' ', 'P', 'R', 'U', 'X', 0x00};
    EXPECT_FALSE(Parse(request, record));
    Bytes paddedRequest = request;
    paddedRequest.resize(42, 0x00);
    EXPECT_FALSE(Parse(paddedRequest, record));

    EXPECT_FALSE(ParseDiscoveryReply(nullptr, 42, record));
    EXPECT_FALSE(ParseDiscoveryReply(FullReply().data(), -1, record));
}

TEST(AdapterRecordTextTest, FullRecordTexts) {
    AdapterRecord record;
    ASSERT_TRUE(Parse(FullReply(), record));
    CString text;
    EXPECT_TRUE(record.GetIpText(text));
    EXPECT_EQ(text, "192.168.5.17");
    EXPECT_TRUE(record.GetMacText(text));
    EXPECT_EQ(text, "00:1a:2b:c3:d4:e5");
    EXPECT_TRUE(record.GetStatusText(text));
    EXPECT_EQ(text, "Controlled by 10.0.0.9");
    DWORD controller = 0;
    EXPECT_TRUE(record.GetControllerAddress(controller));
    const Bytes controllerBytes = {0x0A, 0x00, 0x00, 0x09};  // as stored: network order
    EXPECT_EQ(std::memcmp(&controller, controllerBytes.data(), 4), 0);
}

TEST(AdapterRecordTextTest, ZeroRecordAndExtremeOctets) {
    AdapterRecord record;
    ASSERT_TRUE(Parse(kTag, record));
    CString text;
    record.GetIpText(text);
    EXPECT_EQ(text, "0.0.0.0");
    record.GetMacText(text);
    EXPECT_EQ(text, "00:00:00:00:00:00");
    record.GetStatusText(text);
    EXPECT_EQ(text, "Ready");
    DWORD controller = 1;
    record.GetControllerAddress(controller);
    EXPECT_EQ(controller, 0u);

    Bytes reply = FullReply();
    const Bytes high = {0xFF, 0xFE, 0x0A, 0x01, 0xAB, 0xCD, 0xEF, 0x0F, 0xF0, 0x99};
    std::copy(high.begin(), high.end(), reply.begin() + 16);
    const Bytes controller255 = {0xFF, 0xFF, 0xFF, 0xFF};
    std::copy(controller255.begin(), controller255.end(), reply.begin() + 30);
    ASSERT_TRUE(Parse(reply, record));
    record.GetIpText(text);
    EXPECT_EQ(text, "255.254.10.1");
    record.GetMacText(text);
    EXPECT_EQ(text, "ab:cd:ef:0f:f0:99");
    record.GetStatusText(text);
    EXPECT_EQ(text, "Controlled by 255.255.255.255");

    // Only the controller decides the status: the carried fields do not.
    Bytes ready = FullReply();
    std::fill(ready.begin() + 30, ready.begin() + 34, 0x00);
    ASSERT_TRUE(Parse(ready, record));
    record.GetStatusText(text);
    EXPECT_EQ(text, "Ready");
}

}  // namespace
