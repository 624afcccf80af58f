// Which address texts are refused as numbers the dotted parser would read
// otherwise than the user does, and which are left to it or to the lookup.
#include "net/address_text.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressTextTest, OnlyFourPlainDecimalNumbersPassAsNumbers) {
    const struct {
        const char* text;
        bool refused;
    } cases[] = {
        {"10.231.0.33", false},
        {"10.0.0.1", false},  // a part that is just 0
        {"0.0.0.0", false},   // left to the exchange's own refusal
        {"255.255.255.255", false},
        {"pellvane-ws", false},
        {"0xdead.example", false},  // not a number to the parser: a host name
        {"", false},
        {"10.231.0.033", true},  // octal 27
        {"10.1", true},          // 10.0.0.1
        {"10.231.1", true},
        {"167772161", true},
        {"10.231.0.256", true},
        {"10.231.0.99999999999", true},
        {"10..0.33", true},
        {"10.231.0.33.", true},
        {".10.231.0.33", true},
        {"10.231.0.33.4", true},
        {"0x0a.1.2.3", true},
        {"0xA000001", true},
        {"10.0X1.2.3", true},
        {"10.231.0.033 x", true},  // the parser stops at the space
        {" 10.231.0.33", true},
        {"10.231.0.33\r", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAmbiguousNumericAddress(c.text), c.refused) << '"' << c.text << '"';
    EXPECT_FALSE(IsAmbiguousNumericAddress(nullptr));
}

}  // namespace
