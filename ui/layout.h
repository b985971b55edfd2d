#pragma once
// Controls created from a table, at pixel geometry for 96 DPI scaled by the
// window's DPI. Creation order is tab order.
#include <windows.h>

#include <vector>

#include "core/handles.h"

struct ControlSpec {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    int left, top, width, height;
    DWORD style;
    DWORD exStyle = 0;
};

class Layout {
public:
    Layout() = default;
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    HWND Add(HWND parent, const ControlSpec& control);
    // Moves every control to the geometry for a new DPI, with a matching font.
    void Rescale(UINT dpi);
    UINT dpi() const { return dpi_; }
    static int Scale(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

private:
    void EnsureFont(UINT dpi);
    struct Placed {
        HWND window;
        ControlSpec control;
    };
    std::vector<Placed> placed_;
    FontHandle font_;
    UINT dpi_ = 0;
};

// The DPI of a window, or of the system before the window exists.
UINT DpiOf(HWND window);
// The outer size of a window whose client area is width x height at 96 DPI.
SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle, bool menu, UINT dpi);

// WM_DPICHANGED of a top-level window: its controls at the new DPI, and the
// window where the system suggests.
void ApplyDpiChange(HWND window, Layout& layout, WPARAM wParam, LPARAM lParam);

// The rich-edit control's library, loaded once and kept for the whole run.
void LoadRichEdit();
