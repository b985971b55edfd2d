#pragma once
// The window procedure of each window class: it stores the object at
// WM_NCCREATE, forwards every message to its HandleMessage, catches every
// exception, and forgets the object at WM_NCDESTROY.
#include <windows.h>

#include <string>

#include "ui/runtime_error.h"

// A window's text, whole.
inline std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

template <class T>
class WindowBase {
public:
    HWND hwnd() const { return hwnd_; }

protected:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        T* self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        }
        if (!self) return DefWindowProcW(window, message, wParam, lParam);
        LRESULT result = 0;
        try {
            result = self->HandleMessage(message, wParam, lParam);
        } catch (...) {
            ReportCurrentException();
        }
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        return result;
    }

    // Registers the class once, with this class's procedure.
    static void RegisterOnce(const wchar_t* className, HICON icon = nullptr) {
        WNDCLASSEXW wc{sizeof wc};
        if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &wc)) return;
        wc.lpfnWndProc = &WindowBase::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = className;
        wc.hIcon = icon;
        wc.hIconSm = icon;
        RegisterClassExW(&wc);
    }

    HWND hwnd_ = nullptr;
};
