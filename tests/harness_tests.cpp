// Proves that the harness runs real windows: a real click under Xvfb reaches a button.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/windows_prompts.h"
#include "ui/prompts.h"
#include "core/errors.h"
#include "ui/window_base.h"
#include "tests/support/temp_folder.h"
#include "tests/support/ui.h"

TEST(Harness, RealClickReachesAWindow) {
    static int clicks = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_COMMAND && HIWORD(wp) == BN_CLICKED) ++clicks;
        return DefWindowProcW(w, m, wp, lp);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarrowHarnessTest";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Harness", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"Press", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 100, 30,
                                  window, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(window);
    PumpPending();
    const POINT centre = CentreOf(button);
    ClickAt(button, centre.x, centre.y);
    EXPECT_TRUE(PumpUntil([] { return clicks == 1; }));
    DestroyWindow(window);
}

namespace {

// A window whose handler fails, as an unexpected error would.
class Failing : public WindowBase<Failing> {
public:
    bool Create() {
        RegisterOnce(L"TarrowFailingTest");
        return CreateWindowExW(0, L"TarrowFailingTest", L"Failing", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                               nullptr, GetModuleHandleW(nullptr), this) != nullptr;
    }

private:
    friend class WindowBase<Failing>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_USER) throw AppError(5, L"Invalid procedure call or argument");
        // Not a std::exception: it must not unwind through Windows either.
        if (message == WM_USER + 1) throw 42;
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
};

}  // namespace

TEST(InCopy, AnErrorInAHandlerEndsTheProgramWithAReport) {
    if (!_wgetenv(L"TARROW_RUNTIME_ERROR")) GTEST_SKIP() << "runs only in a copy";
    WindowsPrompts prompts;
    SetPrompts(&prompts);
    Failing window;
    ASSERT_TRUE(window.Create());
    SendMessageW(window.hwnd(), std::wstring(_wgetenv(L"TARROW_RUNTIME_ERROR")) == L"other" ? WM_USER + 1 : WM_USER, 0,
                 0);
    FAIL() << "the program went on";
}

namespace {

void ExpectReportAndEnd(const wchar_t* which, const std::wstring& report) {
    TempFolder folder;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring copy = folder / L"harness_tests.exe";
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
    SetEnvironmentVariableW(L"TARROW_RUNTIME_ERROR", which);
    std::wstring command = L"\"" + copy + L"\" --gtest_filter=InCopy.*";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.path().c_str(), &si, &pi));
    SetEnvironmentVariableW(L"TARROW_RUNTIME_ERROR", nullptr);
    // The report is a real message box of the failing program.
    HWND box = nullptr;
    PumpUntil(
        [&] {
            box = FindWindowW(L"#32770", L"Tarrow");
            return box != nullptr;
        },
        20000);
    ASSERT_NE(box, nullptr);
    wchar_t text[256] = {};
    SendMessageW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), report);
    SendMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

}  // namespace

TEST(RuntimeError, IsReportedAndEndsTheProgram) {
    ExpectReportAndEnd(L"app", L"Run-time error '5':\n\nInvalid procedure call or argument");
    ExpectReportAndEnd(L"other", L"Run-time error:\n\nAn unexpected error occurred.");
}

// A copy whose test skips (here, for want of its variable) has not passed.
TEST(Harness, ACopyThatRanNoTestFailsItsParent) {
    TempFolder folder;
    EXPECT_EQ(RunInCopy(folder, L"TARROW_NOTHING", L"1"), 995u);
}
