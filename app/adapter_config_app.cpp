#include "app/adapter_config_app.h"

#include "net/socket_api.h"

CAdapterConfigApp::CAdapterConfigApp() = default;

CAdapterConfigApp::~CAdapterConfigApp() = default;

BOOL CAdapterConfigApp::InitInstance() {
    // 1. Hosted and three-dimensional controls need no switch here: the
    //    platform draws dialogs in its own style.

    // 3. The socket library, version 1.1; the result is not examined.
    StartSocketLibrary();

    // Returning false ends the program through ExitInstance, without a message loop.
    return FALSE;
}

int CAdapterConfigApp::ExitInstance() {
    StopSocketLibrary();
    return CWinApp::ExitInstance();
}
