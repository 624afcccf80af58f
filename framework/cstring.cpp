#include "framework/cstring.h"

#include <cstdio>
#include <cstring>

CString::CString(LPCSTR text) : m_data(text ? text : "") {}

CString::CString(LPCSTR text, int length) {
    if (text && length > 0)
        m_data.assign(text, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat) {
    if (repeat > 0)
        m_data.assign(static_cast<size_t>(repeat), ch);
}

CString& CString::operator=(LPCSTR text) {
    m_data = text ? text : "";
    return *this;
}

char CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength())
        return '\0';
    return m_data[static_cast<size_t>(index)];
}

void CString::Format(LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(LPCSTR format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed < 0) {
        m_data.clear();
        return;
    }
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
    m_data = std::move(out);
}

int CString::Compare(LPCSTR other) const {
    return std::strcmp(m_data.c_str(), other ? other : "");
}

CString& CString::operator+=(const CString& other) {
    m_data += other.m_data;
    return *this;
}

CString& CString::operator+=(LPCSTR text) {
    if (text)
        m_data += text;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_data += ch;
    return *this;
}

CString CString::Left(int count) const {
    if (count <= 0)
        return CString();
    return CString(m_data.c_str(), count < GetLength() ? count : GetLength());
}

LPSTR CString::GetBuffer(int minLength) {
    if (minLength > GetLength())
        m_data.resize(static_cast<size_t>(minLength));
    return m_data.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_data.c_str()));
    if (newLength > GetLength())
        newLength = GetLength();
    m_data.resize(static_cast<size_t>(newLength));
}

bool operator==(const CString& a, const CString& b) {
    return a.GetLength() == b.GetLength() &&
           std::memcmp(a.GetString(), b.GetString(), static_cast<size_t>(a.GetLength())) == 0;
}

bool operator==(const CString& a, LPCSTR b) {
    return a.Compare(b) == 0;
}

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, LPCSTR b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(LPCSTR a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
