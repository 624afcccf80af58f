#include "framework/winapp.h"

#include <cstring>

namespace {
CWinApp* g_pApp = nullptr;

CString ModuleBaseName() {
#ifdef _WIN32
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return CString();
    const char* base = std::strrchr(path, '\\');
    base = base ? base + 1 : path;
    CString name(base);
    int dot = -1;
    for (int i = 0; i < name.GetLength(); ++i)
        if (name[i] == '.')
            dot = i;
    return dot > 0 ? name.Left(dot) : name;
#else
    return CString();
#endif
}
}  // namespace

CWinApp::CWinApp(LPCSTR appName) {
    m_strAppName = appName ? CString(appName) : ModuleBaseName();
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

int CWinApp::Run() {
#ifdef _WIN32
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
#endif
    return ExitInstance();
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
