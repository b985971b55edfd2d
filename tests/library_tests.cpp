// The module refuses a missing or foreign unzip32.dll. Each case runs this test
// program again from a copy of its folder that lacks the library, or holds a
// foreign one, so the built library is never touched.
#include <gtest/gtest.h>

#include <cstdlib>

#include "archive/unzip.h"
#include "core/errors.h"
#include "tests/support/temp_folder.h"

namespace {

std::wstring Expected() {
    const wchar_t* value = _wgetenv(L"TARROW_LIBRARY_CASE");
    return value ? value : L"";
}

DWORD RunCopy(const TempFolder& folder, const std::wstring& caseName) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring copy = folder / L"library_tests.exe";
    CopyFileW(self, copy.c_str(), FALSE);
    SetEnvironmentVariableW(L"TARROW_LIBRARY_CASE", caseName.c_str());
    std::wstring command = L"\"" + copy + L"\" --gtest_filter=InCopy.*";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        folder.path().c_str(), &si, &pi);
    SetEnvironmentVariableW(L"TARROW_LIBRARY_CASE", nullptr);
    if (!started) return 999;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 998;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace

TEST(InCopy, RunUnzipRaisesForTheLibraryCase) {
    const std::wstring which = Expected();
    if (which.empty()) GTEST_SKIP() << "runs only in a copy";
    VBUnzBas::ZipFileName = L"x.zip";
    try {
        VBUnzBas::RunUnzip();
        FAIL() << "no error";
    } catch (const AppError& e) {
        if (which == L"missing") {
            EXPECT_EQ(e.Description(), L"Could not load unzip32.dll");
        }
        if (which == L"foreign") {
            EXPECT_EQ(e.Description(), L"unzip32.dll is not Tarrow's extraction library");
        }
    }
    EXPECT_FALSE(PathExists(L"foreign-called.txt"));
}

TEST(Library, MissingLibraryRaisesAnError) {
    TempFolder folder;
    EXPECT_EQ(RunCopy(folder, L"missing"), 0u);
}

TEST(Library, ForeignLibraryIsRefusedAndNeverCalled) {
    TempFolder folder;
    CopyFileW((ProgramFolder() + L"\\foreign\\unzip32.dll").c_str(), (folder / L"unzip32.dll").c_str(), FALSE);
    ASSERT_TRUE(PathExists(folder / L"unzip32.dll"));
    EXPECT_EQ(RunCopy(folder, L"foreign"), 0u);
    EXPECT_FALSE(PathExists(folder / L"foreign-called.txt"));
}
