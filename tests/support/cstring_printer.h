// Lets GoogleTest show a CString's text (and its length, which may include
// embedded NULs) in failure messages instead of raw bytes.
#pragma once

#include <ostream>
#include <string>

#include "framework/cstring.h"

inline void PrintTo(const CString& text, std::ostream* out) {
    *out << '"' << std::string(text.GetString(), static_cast<size_t>(text.GetLength())) << "\" ("
         << text.GetLength() << " chars)";
}
