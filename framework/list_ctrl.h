// CListCtrl: a stateless wrapper of a list-view control, one message per method.
#pragma once

#ifdef _WIN32

#include <commctrl.h>

#include "framework/wnd.h"

class CListCtrl : public CWnd {
public:
    int InsertColumn(int column, LPCSTR heading, int format, int width) const {
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        col.fmt = format;
        col.cx = width;
        col.pszText = const_cast<LPSTR>(heading);
        return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column),
                                            reinterpret_cast<LPARAM>(&col)));
    }
    DWORD GetExtendedStyle() const {
        return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
    }
    DWORD SetExtendedStyle(DWORD style) const {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
    }
    BOOL SetTextColor(COLORREF color) const {
        return static_cast<BOOL>(SendMessage(LVM_SETTEXTCOLOR, 0, color));
    }
    BOOL SetTextBkColor(COLORREF color) const {
        return static_cast<BOOL>(SendMessage(LVM_SETTEXTBKCOLOR, 0, color));
    }
    BOOL SetBkColor(COLORREF color) const {
        return static_cast<BOOL>(SendMessage(LVM_SETBKCOLOR, 0, color));
    }
    // The next item after `start` (-1: the first) in state `flags` (LVNI_*), or -1.
    int GetNextItem(int start, UINT flags) const {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
    }
    // The rectangle of row `index` in the list's client coordinates; `code` is
    // LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL or LVIR_SELECTBOUNDS.
    BOOL GetItemRect(int index, RECT* rect, int code) const {
        rect->left = code;
        return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(index),
                                             reinterpret_cast<LPARAM>(rect)));
    }
    BOOL EnsureVisible(int index, BOOL partialOk) const {
        return static_cast<BOOL>(
            SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), partialOk));
    }
    BOOL DeleteAllItems() const { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    BOOL RedrawItems(int first, int last) const {
        return static_cast<BOOL>(SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(first), last));
    }
    // An owner-data list's row count: it asks for each row's cells as it draws.
    void SetItemCount(int count) const {
        SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count));
    }
};

#endif  // _WIN32
