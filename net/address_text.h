// The one numeric form an address text may take: the socket library's dotted
// parser also reads other forms, and reads them in ways a user does not
// expect (a leading zero makes a part octal, "0x" hexadecimal, a short form
// such as 10.1 is filled with zeros), so the address sent would not be the
// one the user typed and the window shows.
#pragma once

#include "framework/afx_types.h"

// What to tell a user whose address text is refused.
constexpr char kAddressFormNotice[] =
    "Please enter the new IP address as four numbers from 0 to 255 separated by dots, without "
    "leading zeros (for example 10.231.0.33).";

// True for a text the dotted parser would take as a number (digits and dots,
// or parts in the 0x form, up to the first white space, where the parser
// stops) that is not exactly four decimal numbers 0-255 without leading
// zeros. False for such an address, for a host name and for the empty text.
bool IsAmbiguousNumericAddress(LPCSTR text);
