// CFont: owns one GDI font.
#pragma once

#ifdef _WIN32

#include "framework/afx_types.h"

class CFont {
public:
    CFont() = default;
    ~CFont() { DeleteObject(); }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // A font of `pointSize` tenths of a point, converted for the screen.
    BOOL CreatePointFont(int pointSize, LPCSTR faceName);
    BOOL CreateFontIndirect(const LOGFONTA* logFont);
    int GetLogFont(LOGFONTA* logFont) const;
    BOOL DeleteObject();

    HFONT GetSafeHandle() const { return m_hFont; }

private:
    HFONT m_hFont = nullptr;
};

#endif  // _WIN32
