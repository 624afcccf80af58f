// Loading from System32, also where the loader lacks the System32 search
// flag (Windows 7 without its loader update).
#include "framework/system_libraries.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <string>
#include <vector>

namespace {

struct LoadCall {
    std::wstring name;
    DWORD flags;
};
std::vector<LoadCall> g_calls;
DWORD g_refusal = 0;  // the error every load fails with; 0: only the flag is refused

HMODULE WINAPI Windows7LoadLibraryEx(LPCWSTR name, HANDLE file, DWORD flags) {
    g_calls.push_back({name, flags});
    if (g_refusal != 0) {
        ::SetLastError(g_refusal);
        return nullptr;
    }
    if (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return ::LoadLibraryExW(name, file, flags);
}

const SystemLoader kWindows7 = {Windows7LoadLibraryEx, ::GetSystemDirectoryW};

std::wstring System32Path(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length) + L"\\" + name;
}

class SystemLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_refusal = 0;
    }
    void TearDown() override { ResolveAdapterListFunction(PlatformLoader()); }
};

TEST_F(SystemLoaderTest, ARefusedSearchFlagFallsBackToSystem32sFullPath) {
    HMODULE module = LoadFromSystem32(L"iphlpapi.dll", kWindows7);
    EXPECT_NE(module, nullptr);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].name, L"iphlpapi.dll");
    EXPECT_EQ(g_calls[0].flags, DWORD{LOAD_LIBRARY_SEARCH_SYSTEM32});
    EXPECT_EQ(g_calls[1].name, System32Path(L"iphlpapi.dll"));
    EXPECT_EQ(g_calls[1].flags, DWORD{LOAD_WITH_ALTERED_SEARCH_PATH});

    // The cards are listed through the library loaded that way.
    ResolveAdapterListFunction(kWindows7);
    ULONG size = 0;
    EXPECT_NE(SystemGetAdaptersAddresses(AF_INET, 0, nullptr, nullptr, &size),
              ULONG{ERROR_PROC_NOT_FOUND});
}

TEST_F(SystemLoaderTest, ALibraryThatCannotBeHadMeansCardsUnknownNotNone) {
    g_refusal = ERROR_MOD_NOT_FOUND;
    EXPECT_EQ(LoadFromSystem32(L"iphlpapi.dll", kWindows7), nullptr);
    EXPECT_EQ(g_calls.size(), 1u) << "only a refused flag is worth a second try";

    ResolveAdapterListFunction(kWindows7);
    ULONG size = 0;
    EXPECT_EQ(SystemGetAdaptersAddresses(AF_INET, 0, nullptr, nullptr, &size),
              ULONG{ERROR_PROC_NOT_FOUND});
}

}  // namespace
#endif
