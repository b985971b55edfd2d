#include "ui/layout.h"

void Layout::EnsureFont(UINT dpi) {
    if (font_.valid() && dpi == dpi_) return;
    // MS Sans Serif 8 of the classic forms; MS Shell Dlg maps to the system's dialog face.
    font_.Reset(CreateFontW(-MulDiv(8, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg"));
    dpi_ = dpi;
}

HWND Layout::Add(HWND parent, const ControlSpec& control) {
    const UINT dpi = DpiOf(parent);
    EnsureFont(dpi);
    HWND window = CreateWindowExW(
        control.exStyle, control.className, control.text, control.style | WS_CHILD, Scale(control.left, dpi),
        Scale(control.top, dpi), Scale(control.width, dpi), Scale(control.height, dpi), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    placed_.push_back({window, control});
    return window;
}

void Layout::Rescale(UINT dpi) {
    // The old font is deleted only once no control uses it.
    const FontHandle previous = std::move(font_);
    EnsureFont(dpi);
    for (const Placed& p : placed_) {
        SetWindowPos(p.window, nullptr, Scale(p.control.left, dpi), Scale(p.control.top, dpi),
                     Scale(p.control.width, dpi), Scale(p.control.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(p.window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
}

UINT DpiOf(HWND window) {
    const UINT dpi = window ? GetDpiForWindow(window) : GetDpiForSystem();
    return dpi ? dpi : 96;
}

SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle, bool menu, UINT dpi) {
    RECT r{0, 0, Layout::Scale(width, dpi), Layout::Scale(height, dpi)};
    AdjustWindowRectExForDpi(&r, style, menu, exStyle, dpi);
    return {r.right - r.left, r.bottom - r.top};
}

void LoadRichEdit() {
    static const HMODULE richEdit = LoadLibraryW(L"Msftedit.dll");
    (void)richEdit;
}

void ApplyDpiChange(HWND window, Layout& layout, WPARAM wParam, LPARAM lParam) {
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    layout.Rescale(HIWORD(wParam));
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}
