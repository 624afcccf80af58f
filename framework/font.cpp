#include "framework/font.h"

#include <cstring>

BOOL CFont::CreatePointFont(int pointSize, LPCSTR faceName) {
    LOGFONTA logFont;
    std::memset(&logFont, 0, sizeof(logFont));
    logFont.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(logFont.lfFaceName, faceName, LF_FACESIZE);
    // Tenths of a point to device pixels on the screen.
    HDC dc = ::GetDC(nullptr);
    int pixelsPerInch = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc)
        ::ReleaseDC(nullptr, dc);
    logFont.lfHeight = -::MulDiv(pointSize, pixelsPerInch, 720);
    return CreateFontIndirect(&logFont);
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* logFont) {
    DeleteObject();
    m_hFont = ::CreateFontIndirectA(logFont);
    return m_hFont != nullptr;
}

int CFont::GetLogFont(LOGFONTA* logFont) const {
    if (!m_hFont)
        return 0;
    return ::GetObjectA(m_hFont, sizeof(*logFont), logFont);
}

BOOL CFont::DeleteObject() {
    if (!m_hFont)
        return FALSE;
    BOOL deleted = ::DeleteObject(m_hFont);
    m_hFont = nullptr;
    return deleted;
}
