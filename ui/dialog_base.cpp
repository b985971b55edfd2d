#include "ui/dialog_base.h"

#include <commctrl.h>

#include <map>
#include <string>

#include "core/errors.h"

namespace {
constexpr DWORD kDialogStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

struct Place {
    POINT placed{};  // where Tarrow put it last
    POINT left{};    // where the player left it
    bool moved = false;
};

// By window class: a run's memory, never stored.
std::map<std::wstring, Place>& Places() {
    static std::map<std::wstring, Place> places;
    return places;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

int Clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// The first of right, left and below where the whole window fits in the work area.
POINT Beside(const RECT& anchor, SIZE size, const RECT& work) {
    const int top = Clamp(anchor.top, work.top, work.bottom - size.cy);
    const int left = Clamp(anchor.left, work.left, work.right - size.cx);
    const bool tallEnough = size.cy <= work.bottom - work.top, wideEnough = size.cx <= work.right - work.left;
    if (tallEnough && anchor.right + size.cx <= work.right) return {anchor.right, top};
    if (tallEnough && anchor.left - size.cx >= work.left) return {anchor.left - size.cx, top};
    if (wideEnough && anchor.bottom + size.cy <= work.bottom) return {left, anchor.bottom};
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    return {anchor.left + caption, anchor.top + caption};
}
}  // namespace

HWND CreateDialogWindow(const wchar_t* className, const wchar_t* caption, int width, int height, void* self) {
    const SIZE size =
        OuterSize(width, height, kDialogStyle, WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, false, DpiOf(nullptr));
    HWND window =
        CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, className, caption, kDialogStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, GetModuleHandleW(nullptr), self);
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

void PlaceBeside(HWND window, HWND anchor) {
    if (!anchor) return;
    Place& place = Places()[ClassOf(window)];
    RECT own{}, beside{};
    GetWindowRect(window, &own);
    GetWindowRect(anchor, &beside);
    MONITORINFO monitor{sizeof monitor};
    GetMonitorInfoW(MonitorFromWindow(anchor, MONITOR_DEFAULTTONEAREST), &monitor);
    const POINT at =
        place.moved ? place.left : Beside(beside, {own.right - own.left, own.bottom - own.top}, monitor.rcWork);
    SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    place.placed = at;
}

void RememberPlace(HWND window) {
    const auto found = Places().find(ClassOf(window));
    RECT r{};
    if (found == Places().end() || !GetWindowRect(window, &r)) return;
    Place& place = found->second;
    if (r.left == place.placed.x && r.top == place.placed.y) return;
    place.moved = true;
    place.left = {r.left, r.top};
}

bool HandleDialogWindowMessage(HWND window, Layout& layout, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DPICHANGED: ApplyDpiChange(window, layout, wParam, lParam); return true;
    case WM_DESTROY:
        RememberPlace(window);
        RemoveKeyboardWindow(window);
        return true;
    default: return false;
    }
}

void AddReportColumns(HWND list, const std::vector<std::wstring>& captions, const std::vector<int>& widths, UINT dpi) {
    for (size_t i = 0; i < captions.size(); ++i) {
        LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM};
        column.pszText = const_cast<wchar_t*>(captions[i].c_str());
        column.cx = Layout::Scale(widths[i], dpi);
        column.iSubItem = static_cast<int>(i);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
}
