#include "net/address_text.h"

#include <cstring>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The parser ends a number at white space and ignores what follows.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whether [begin, end) is in a form the dotted parser reads as a number:
// parts of decimal (or octal) digits and parts of "0x" and hex digits,
// separated by dots. Empty parts count, so that a stray dot is refused too
// rather than sent to the host-name lookup.
bool IsNumberForm(const char* begin, const char* end) {
    if (begin == end)
        return false;
    for (const char* part = begin; part <= end;) {
        const char* partEnd = part;
        while (partEnd < end && *partEnd != '.')
            ++partEnd;
        const bool hex =
            partEnd - part >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X');
        for (const char* c = hex ? part + 2 : part; c < partEnd; ++c) {
            if (hex ? !IsHexDigit(*c) : !IsDigit(*c))
                return false;
        }
        part = partEnd + 1;
    }
    return true;
}

// Exactly four decimal numbers 0-255, no leading zeros, nothing else.
bool IsDottedDecimal(LPCSTR text) {
    const char* c = text;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && *c++ != '.')
            return false;
        if (!IsDigit(*c))
            return false;
        if (*c == '0' && IsDigit(c[1]))
            return false;
        int value = 0;
        for (int count = 0; IsDigit(*c); ++c, ++count) {
            if (count == 3)
                return false;
            value = value * 10 + (*c - '0');
        }
        if (value > 255)
            return false;
    }
    return *c == '\0';
}

}  // namespace

bool IsAmbiguousNumericAddress(LPCSTR text) {
    if (!text)
        return false;
    const char* begin = text;
    while (IsSpace(*begin))
        ++begin;
    const char* end = begin;
    while (*end && !IsSpace(*end))
        ++end;
    return IsNumberForm(begin, end) && !IsDottedDecimal(text);
}
