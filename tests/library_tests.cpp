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
    EXPECT_EQ(RunInCopy(folder, L"TARROW_LIBRARY_CASE", L"missing"), 0u);
}

TEST(Library, ForeignLibraryIsRefusedAndNeverCalled) {
    TempFolder folder;
    CopyFileW((ProgramFolder() + L"\\foreign\\unzip32.dll").c_str(), (folder / L"unzip32.dll").c_str(), FALSE);
    ASSERT_TRUE(PathExists(folder / L"unzip32.dll"));
    EXPECT_EQ(RunInCopy(folder, L"TARROW_LIBRARY_CASE", L"foreign"), 0u);
    EXPECT_FALSE(PathExists(folder / L"foreign-called.txt"));
}
