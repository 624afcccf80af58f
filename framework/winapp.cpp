#include "framework/winapp.h"

#include <cstdio>
#include <cstring>
#include <new>

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

namespace {

// The last word of a run that failed: a notice when a window can still be
// shown, the standard error stream otherwise. Built in a fixed buffer, since
// memory may be what ran out.
void ReportAbandonedRun(const CWinApp& app, bool outOfMemory) {
    char text[256];
    std::snprintf(text, sizeof(text),
                  outOfMemory ? "%s has ended: there was not enough memory to run it."
                              : "%s has ended after an unexpected error.",
                  app.m_strAppName.IsEmpty() ? "The program" : app.m_strAppName.GetString());
#ifdef _WIN32
    if (::MessageBoxA(nullptr, text, app.m_strAppName.GetString(),
                      MB_OK | MB_ICONWARNING | MB_TASKMODAL | MB_SETFOREGROUND))
        return;
#endif
    std::fprintf(stderr, "%s\n", text);
}

}  // namespace

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    bool outOfMemory = false;
    try {
        if (!app->InitInstance())
            return app->ExitInstance();
        return app->Run();
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    } catch (...) {
    }
    // Whatever was started is released; the run still counts as failed.
    ReportAbandonedRun(*app, outOfMemory);
    try {
        app->ExitInstance();
    } catch (...) {
    }
    return kExitAbandoned;
}
