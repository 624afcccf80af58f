// libFuzzer target: any datagram that arrives on the port goes through
// ParseDiscoveryReply, and every accepted one is shown through the record's
// text accessors. Besides memory errors (the sanitizers), it checks the
// properties the rest of the program relies on.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "net/adapter_record.h"
#include "net/discovery.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool IsDottedQuad(const CString& text) {
    int dots = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] == '.')
            ++dots;
        else if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return dots == 3 && text.GetLength() >= 7 && text.GetLength() <= 15;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int length = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    AdapterRecord record;
    std::memset(&record, 0xA5, sizeof(record));
    if (!ParseDiscoveryReply(data, length, record))
        return 0;

    // Only a tagged datagram that fits the receive buffer is a reply.
    Check(size >= 15 && size <= 44);
    Check(std::memcmp(data, "HELLO I AM PRUX", 15) == 0);
    Check(record.family == 2);

    // Each field comes from its place in the reply; missing bytes are zero.
    auto replyByte = [&](size_t at) -> unsigned char { return at < size ? data[at] : 0; };
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
    for (size_t i = 4; i < 8; ++i)
        Check(bytes[i] == replyByte(i + 12));
    for (size_t i = 8; i < 16; ++i)
        Check(bytes[i] == replyByte(i + 12));
    for (size_t i = 16; i < 20; ++i)
        Check(bytes[i] == replyByte(i + 10));
    for (size_t i = 20; i < 32; ++i)
        Check(bytes[i] == replyByte(i + 10));

    CString ip, mac, status;
    Check(record.GetIpText(ip) && IsDottedQuad(ip));
    Check(record.GetMacText(mac) && mac.GetLength() == 17);
    for (int i = 0; i < mac.GetLength(); ++i) {
        char c = mac[i];
        if (i % 3 == 2)
            Check(c == ':');
        else
            Check((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    }
    DWORD controller = 1;
    Check(record.GetControllerAddress(controller));
    Check(record.GetStatusText(status));
    if (controller == 0) {
        Check(status == "Ready");
    } else {
        Check(status.Left(14) == "Controlled by ");
        Check(IsDottedQuad(CString(status.GetString() + 14, status.GetLength() - 14)));
    }
    return 0;
}
