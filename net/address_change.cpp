#include "net/address_change.h"

#include <chrono>
#include <cstring>

#include "net/address_text.h"
#include "net/broadcast_channel.h"

static_assert(sizeof(kAddressChangeTag) == 14, "the tag is sent with its NUL");
static_assert(sizeof(AddressChangeRequest) == kAddressChangeRequestLength);

AddressChangeRequest BuildAddressChangeRequest(DWORD newAddress, const AdapterRecord& record) {
    AddressChangeRequest request;
    std::memset(request.bytes, 0, sizeof(request.bytes));
    std::memcpy(request.bytes, kAddressChangeTag, sizeof(kAddressChangeTag));
    std::memcpy(request.bytes + 16, &newAddress, 4);
    std::memcpy(request.bytes + 20, record.hardware, sizeof(record.hardware));
    return request;
}

bool IsAddressChangeAnswer(const BYTE* data, int length) {
    // Anything longer never reaches here intact: the receive reports it as an error.
    if (!data || length < kAddressChangeAnswerTagLength || length > kAddressChangeAnswerCapacity)
        return false;
    return std::memcmp(data, kAddressChangeAnswerTag, kAddressChangeAnswerTagLength) == 0;
}

bool IsAssignableAdapterAddress(DWORD networkOrder) {
    const BYTE first = reinterpret_cast<const BYTE*>(&networkOrder)[0];
    return first != 0 && first != 127 && first < 224;
}

int SendAddressChange(LPCSTR text, AdapterRecord& record) {
    if (record.family != kFamilyIPv4)
        return -1;  // not a record a discovery made: its hardware field means nothing

    // The parser would send another address than the one the text reads as.
    if (IsAmbiguousNumericAddress(text))
        return -1;
    sockaddr_in resolved;
    if (ResolveAddress(text, resolved) != 0 || resolved.sin_family != AF_INET)
        return -1;
    DWORD newAddress = 0;
    std::memcpy(&newAddress, &resolved.sin_addr, 4);
    // Such an address would cut the adapter off the network until it is
    // reset by hand, so it is never sent.
    if (!IsAssignableAdapterAddress(newAddress))
        return -1;

    BroadcastChannel* channel = g_pBroadcastChannel;
    if (!channel)
        return -1;

    // The adapter may hang on a card that got its address only now.
    channel->RefreshCards();
    // Late discovery replies still queued would otherwise be taken for the
    // adapter's answer. A flood is cut short: the request still goes out.
    channel->DiscardPending(kStaleDrainMostMs);

    const AddressChangeRequest request = BuildAddressChangeRequest(newAddress, record);
    if (channel->SendToBroadcast(request.bytes, sizeof(request.bytes)) < 0)
        PrintDiagnostic("sendto");

    // Other traffic on the port is passed over; the second is counted as a
    // whole, so it cannot stretch the wait.
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(kAddressChangeWaitMs);
    for (;;) {
        auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (remaining <= 0 || channel->WaitReadableMs(static_cast<int>(remaining)) <= 0)
            return -1;
        BYTE answer[kAddressChangeAnswerCapacity];
        int length = channel->ReceiveDatagram(answer, sizeof(answer));
        if (IsAddressChangeAnswer(answer, length)) {
            record.address = newAddress;
            return 0;
        }
    }
}

bool AdapterRecord::ChangeAddress(CString newAddress) {
    char text[kAddressTextMaxLength + 1];
    int length = newAddress.GetLength();
    if (length > kAddressTextMaxLength)
        length = kAddressTextMaxLength;
    std::memcpy(text, newAddress.GetString(), static_cast<size_t>(length));
    text[length] = '\0';
    return SendAddressChange(text, *this) == 0;
}
