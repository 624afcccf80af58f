// CWinApp and AfxWinMain: the run order every program start goes through.
#include "framework/winapp.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "tests/support/cstring_printer.h"

namespace {

// Records the order in which the framework calls the application's hooks.
class CRecordingApp : public CWinApp {
public:
    CRecordingApp(BOOL initResult, int exitCode) : CWinApp("Recorder"), m_bInitResult(initResult) {
        m_nExitCode = exitCode;
    }

    BOOL InitInstance() override {
        m_strCalls += "init;";
        if (m_bThrow)
            throw std::bad_alloc();
        // The application object is reachable while it starts up.
        m_bSawSelf = AfxGetApp() == this;
#ifdef _WIN32
        // Lets the message loop end at once if the framework enters it.
        if (m_bInitResult)
            PostQuitMessage(0);
#endif
        return m_bInitResult;
    }
    int Run() override {
        m_strCalls += "run;";
        return CWinApp::Run();
    }
    int ExitInstance() override {
        m_strCalls += "exit;";
        return CWinApp::ExitInstance();
    }

    std::string m_strCalls;
    bool m_bSawSelf = false;
    bool m_bThrow = false;

private:
    BOOL m_bInitResult;
};

TEST(CWinAppTest, FailedInitInstanceSkipsTheLoopAndReturnsExitInstancesCode) {
    CRecordingApp app(FALSE, 7);
    EXPECT_EQ(AfxWinMain(), 7);
    EXPECT_EQ(app.m_strCalls, "init;exit;");
    EXPECT_TRUE(app.m_bSawSelf);
}

TEST(CWinAppTest, SuccessfulInitInstanceRunsTheLoopThenExitInstance) {
    CRecordingApp app(TRUE, 3);
    EXPECT_EQ(AfxWinMain(), 3);
    EXPECT_EQ(app.m_strCalls, "init;run;exit;");
}

#ifndef _WIN32  // on Windows the notice is a message box, answered in the UI tests
TEST(CWinAppTest, OutOfMemoryDuringStartUpIsReportedAndEndsWithAFailureCode) {
    CRecordingApp app(TRUE, 0);
    app.m_bThrow = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(AfxWinMain(), kExitAbandoned);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Recorder has ended: there was not enough memory to run it.\n");
    EXPECT_EQ(app.m_strCalls, "init;exit;") << "what start-up began is released";
}
#endif

TEST(CWinAppTest, AfxGetAppFollowsTheObjectsLifetime) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxWinMain(), -1);  // no application object: nothing to run
    {
        CRecordingApp app(FALSE, 0);
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(app.m_strAppName, "Recorder");
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

#ifdef _WIN32
TEST(CWinAppTest, DefaultNameIsTheModuleFileNameWithoutExtension) {
    CWinApp app;
    EXPECT_EQ(app.m_strAppName, "framework_winapp_test");
}
#endif

}  // namespace
