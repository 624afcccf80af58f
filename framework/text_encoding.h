// Conversions between the program's texts (the ANSI code page), UTF-8 (the
// record of changes) and UTF-16 (the platform's wide functions). Outside
// Windows every text is UTF-8 already and the ANSI conversions copy.
#pragma once

#include <string>

std::string AnsiToUtf8(const std::string& ansi);
// Characters the code page lacks become '?'.
std::string Utf8ToAnsi(const std::string& utf8);
#ifdef _WIN32
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
#endif
