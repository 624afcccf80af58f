#include "ui/high_contrast.h"

#include "framework/afx_types.h"

namespace {

HighContrastQuery s_pfnQuery = nullptr;

}  // namespace

bool SystemHighContrastOn() {
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof(contrast);
    if (!::SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0))
        return false;
    return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool IsHighContrastOn() {
    return s_pfnQuery ? s_pfnQuery() : SystemHighContrastOn();
}

void SetHighContrastQuery(HighContrastQuery query) {
    s_pfnQuery = query;
}
