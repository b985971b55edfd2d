#include "core/message_loop.h"

#include <algorithm>
#include <vector>

namespace {
std::vector<HWND> g_windows;
}

void AddKeyboardWindow(HWND window) { g_windows.push_back(window); }

void RemoveKeyboardWindow(HWND window) { std::erase(g_windows, window); }

bool DispatchToKeyboardWindows(MSG& msg) {
    for (HWND window : g_windows) {
        if (IsWindow(window) && (msg.hwnd == window || IsChild(window, msg.hwnd)) && IsDialogMessageW(window, &msg)) {
            return true;
        }
    }
    return false;
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (DispatchToKeyboardWindows(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
