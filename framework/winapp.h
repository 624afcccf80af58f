// CWinApp: the process-wide application object and the framework's run order.
//
// A program defines exactly one static object of a class derived from CWinApp.
// Its constructor registers it; the entry point (AfxWinMain) then runs
// InitInstance, the message loop only if InitInstance returned true, and
// always ExitInstance, whose result is the process exit code.
#pragma once

#include "framework/afx_types.h"
#include "framework/cstring.h"

class CWnd;

class CWinApp {
public:
    explicit CWinApp(LPCSTR appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int Run();
    virtual int ExitInstance() { return m_nExitCode; }

    // The program's name: the module's file name without its extension.
    CString m_strAppName;
    CWnd* m_pMainWnd = nullptr;

protected:
    int m_nExitCode = 0;
};

// The application object, or null before it is constructed.
CWinApp* AfxGetApp();

// The framework's entry sequence; WinMain (or a test) calls it once. An
// exception that escapes the application (running out of memory before the
// main window exists, say) ends the run with a notice, ExitInstance and the
// exit code kExitAbandoned.
int AfxWinMain();
constexpr int kExitAbandoned = 3;
