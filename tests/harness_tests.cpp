// Proves that the harness runs real windows: a real click under Xvfb reaches a button.
#include <gtest/gtest.h>

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
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Harness", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300,
                                  200, nullptr, nullptr, wc.hInstance, nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"Press", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 100, 30,
                                  window, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(window);
    PumpPending();
    const POINT centre = CentreOf(button);
    ClickAt(button, centre.x, centre.y);
    EXPECT_TRUE(PumpUntil([] { return clicks == 1; }));
    DestroyWindow(window);
}
