#include "core/dialog_base.h"

#include "core/errors.h"

namespace {
constexpr DWORD kDialogStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
}

HWND CreateDialogWindow(const wchar_t* className, const wchar_t* caption, int width, int height, void* self) {
    const SIZE size = OuterSize(width, height, kDialogStyle, WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, false,
                                DpiOf(nullptr));
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, className, caption, kDialogStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), self);
    if (!window) throw Win32Error(GetLastError(), std::wstring(L"Could not open ") + caption);
    AddKeyboardWindow(window);
    return window;
}

void ShowDialogWindow(HWND window) {
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    if (HWND first = GetNextDlgTabItem(window, nullptr, FALSE)) SetFocus(first);
}

void BringToFront(HWND window) {
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
}
