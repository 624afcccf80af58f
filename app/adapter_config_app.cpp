#include "app/adapter_config_app.h"

#include <new>

#include "net/adapter_table.h"
#include "net/socket_api.h"

#ifdef _WIN32
#include <commctrl.h>

#include "ui/adapter_config_dlg.h"
#endif

CAdapterConfigApp::CAdapterConfigApp() = default;

CAdapterConfigApp::~CAdapterConfigApp() = default;

BOOL CAdapterConfigApp::InitInstance() {
    // 1. The platform draws dialogs in its own style; only the list-view
    //    class of the common controls has to be registered.
#ifdef _WIN32
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
#endif

    // 2. The HPLC system configuration: settings keys, host texts, driver file.
    LoadConfiguration();

    // 3. The socket library, version 1.1; the result is not examined.
    StartSocketLibrary();

    // 4. The adapter table, which opens the broadcast channel. Without memory
    //    for it the program runs on with no table: the window lists nothing.
    m_pAdapterTable = new (std::nothrow) CAdapterTable();

#ifdef _WIN32
    // 5. The main window, modal, for the whole interactive life of the
    //    program; how it ended does not matter here.
    {
        CAdapterConfigDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
    }
#endif

    // 6. Returning false ends the program through ExitInstance, without a message loop.
    return FALSE;
}

int CAdapterConfigApp::ExitInstance() {
    StopSocketLibrary();
    // 2. The table closes the channel (the socket went with the library) and
    //    frees its records.
    delete m_pAdapterTable;
    m_pAdapterTable = nullptr;
    return CWinApp::ExitInstance();
}
