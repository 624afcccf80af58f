// CAdapterConfigApp: the application object. Owns the two systems' host
// texts, the driver settings file's path and the adapter table, and runs the
// start-up and shut-down sequence around the main window.
#pragma once

#include "framework/cstring.h"
#include "framework/winapp.h"

class CAdapterTable;

class CAdapterConfigApp : public CWinApp {
public:
    CAdapterConfigApp();
    ~CAdapterConfigApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    CString m_strDriverIni;
    CString m_strHost[3];  // indexed by system number: [1] and [2]; [0] unused
    CAdapterTable* m_pAdapterTable = nullptr;
};
