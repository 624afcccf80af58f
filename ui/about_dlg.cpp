#include "ui/about_dlg.h"

#include "ui/resources/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

// The box only shows text: nothing to exchange.
void CAboutDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
}
