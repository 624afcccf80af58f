// CMenu: owns a menu loaded from the program's resources.
#pragma once

#ifdef _WIN32

#include "framework/afx_types.h"

class CMenu {
public:
    CMenu() = default;
    ~CMenu() { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    BOOL LoadMenu(UINT id) {
        DestroyMenu();
        m_hMenu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
        return m_hMenu != nullptr;
    }
    HMENU GetSubMenu(int position) const { return ::GetSubMenu(m_hMenu, position); }
    BOOL DestroyMenu() {
        if (!m_hMenu)
            return FALSE;
        BOOL destroyed = ::DestroyMenu(m_hMenu);
        m_hMenu = nullptr;
        return destroyed;
    }
    HMENU m_hMenu = nullptr;
};

#endif  // _WIN32
