// CString: the framework's counted string of 8-bit characters (ANSI code page).
#pragma once

#include <cstdarg>
#include <string>

#include "framework/afx_types.h"

class CString {
public:
    CString() = default;
    CString(LPCSTR text);  // NOLINT: implicit, as the framework's
    CString(LPCSTR text, int length);
    CString(char ch, int repeat = 1);
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(LPCSTR text);

    int GetLength() const { return static_cast<int>(m_data.size()); }
    bool IsEmpty() const { return m_data.empty(); }
    void Empty() { m_data.clear(); }

    // Always NUL-terminated; may hold embedded NULs within GetLength().
    operator LPCSTR() const { return m_data.c_str(); }  // NOLINT: as the framework's
    LPCSTR GetString() const { return m_data.c_str(); }
    char GetAt(int index) const;
    char operator[](int index) const { return GetAt(index); }

    // printf-style formatting; the result replaces the string. With mingw,
    // libstdc++ selects mingw's own C99 printf, so calls are checked against
    // that dialect, not msvcrt's (which would reject %zu and accept %I64d).
    void Format(LPCSTR format, ...)
#if defined(__MINGW32__)
        __attribute__((format(gnu_printf, 2, 3)))
#elif defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void FormatV(LPCSTR format, va_list args);

    int Compare(LPCSTR other) const;  // <0, 0, >0 like strcmp

    CString& operator+=(const CString& other);
    CString& operator+=(LPCSTR text);
    CString& operator+=(char ch);

    CString Left(int count) const;

    // Direct buffer access for platform calls that fill a character array:
    // GetBuffer(n) gives room for n characters plus the terminator;
    // ReleaseBuffer(-1) takes the length from the first NUL.
    LPSTR GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

private:
    std::string m_data;
};

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, LPCSTR b);
inline bool operator!=(const CString& a, const CString& b) {
    return !(a == b);
}
inline bool operator!=(const CString& a, LPCSTR b) {
    return !(a == b);
}
CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCSTR b);
CString operator+(LPCSTR a, const CString& b);
