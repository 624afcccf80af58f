// CAboutDlg: the About box, opened from the main window's system menu.
#pragma once

#include "framework/dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    void DoDataExchange(CDataExchange* dx) override;
};
