// CString: the counted string every text of the program is kept in.
#include "framework/cstring.h"

#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

TEST(CStringTest, FormatReplacesTheContentAndHandlesLongOutput) {
    CString text("old content that must disappear");
    text.Format("%s=%d/%02x", "port", 9029, 0xa);
    EXPECT_STREQ(text, "port=9029/0a");
    EXPECT_EQ(text.GetLength(), 12);

    // Far beyond any fixed first-guess buffer a formatter might start with.
    std::string big(5000, 'x');
    text.Format("[%s]%-3000d|", big.c_str(), 7);
    ASSERT_EQ(text.GetLength(), 1 + 5000 + 1 + 3000 + 1);
    EXPECT_EQ(text[0], '[');
    EXPECT_EQ(text[5000], 'x');
    EXPECT_EQ(text[5001], ']');
    EXPECT_EQ(text[5002], '7');
    EXPECT_EQ(text[5003], ' ');
    EXPECT_EQ(text[text.GetLength() - 1], '|');
    EXPECT_EQ(std::strlen(text), static_cast<size_t>(text.GetLength()));

    // 64-bit and size arguments format alike on every platform (size_t is
    // 32-bit on 32-bit Windows).
    text.Format("%zu|%lld", SIZE_MAX, -9000000000ll);
    EXPECT_EQ(std::string(text), std::to_string(SIZE_MAX) + "|-9000000000");

    text.Format("%s", "");
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_STREQ(text, "");
}

TEST(CStringTest, ComparisonAndConcatenation) {
    CString a("Ready");
    EXPECT_EQ(a.Compare("Ready"), 0);
    EXPECT_LT(a.Compare("Readz"), 0);
    EXPECT_GT(a.Compare("Read"), 0);
    EXPECT_TRUE(a == "Ready");
    EXPECT_TRUE(a != "ready");
    EXPECT_TRUE(a == CString("Ready"));
    EXPECT_TRUE(a != CString("Ready "));

    // A null text counts as empty rather than crashing.
    CString none(static_cast<LPCSTR>(nullptr));
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(none.Compare(nullptr), 0);
    EXPECT_TRUE(none == static_cast<LPCSTR>(nullptr));

    CString joined = "Controlled by " + CString("10.0.0.9");
    joined += '!';
    joined += static_cast<LPCSTR>(nullptr);
    EXPECT_STREQ(joined + "?", "Controlled by 10.0.0.9!?");
    EXPECT_EQ(CString('-', 3), "---");
    EXPECT_TRUE(CString('-', 0).IsEmpty());
    EXPECT_TRUE(CString('-', -2).IsEmpty());
}

TEST(CStringTest, EmbeddedNulsAreCountedAndCompared) {
    const char raw[] = {'a', '\0', 'b'};
    CString s(raw, 3);
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s[1], '\0');
    EXPECT_EQ(s[2], 'b');

    // Two counted strings differing only after the NUL are different...
    const char other[] = {'a', '\0', 'c'};
    EXPECT_FALSE(s == CString(other, 3));
    EXPECT_FALSE(s == CString("a"));
    EXPECT_TRUE(s == CString(raw, 3));
    // ...while the C-string view ends at the NUL, as for the platform's calls.
    EXPECT_STREQ(s, "a");

    CString copy = s + CString(raw, 3);
    EXPECT_EQ(copy.GetLength(), 6);
    EXPECT_EQ(copy[5], 'b');
}

TEST(CStringTest, GetBufferAndReleaseBuffer) {
    CString s("ab");
    char* buffer = s.GetBuffer(10);
    ASSERT_NE(buffer, nullptr);
    // Room for ten characters and the terminator, as a platform call that
    // fills a character array expects.
    std::memcpy(buffer, "0123456789", 11);
    s.ReleaseBuffer();
    EXPECT_EQ(s, "0123456789");

    buffer = s.GetBuffer(10);
    std::memcpy(buffer, "xyz", 4);
    s.ReleaseBuffer();  // length from the first NUL
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s, "xyz");

    buffer = s.GetBuffer(8);
    std::memcpy(buffer, "a\0bcdefg", 8);
    s.ReleaseBuffer(4);  // an explicit length keeps embedded NULs
    EXPECT_EQ(s.GetLength(), 4);
    EXPECT_EQ(s[3], 'c');

    s.GetBuffer(0);
    s.ReleaseBuffer(100);  // never longer than the buffer
    EXPECT_EQ(s.GetLength(), 4);

    CString empty;
    empty.GetBuffer(0)[0] = '\0';
    empty.ReleaseBuffer();
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(CStringTest, LeftAndAtStayWithinBounds) {
    CString s("00:1a:2b");
    EXPECT_EQ(s.Left(2), "00");
    EXPECT_EQ(s.Left(0), "");
    EXPECT_EQ(s.Left(-5), "");
    EXPECT_EQ(s.Left(100), "00:1a:2b");

    EXPECT_EQ(s.GetAt(-1), '\0');
    EXPECT_EQ(s.GetAt(8), '\0');
}

}  // namespace
