#pragma once
// What a modeless window that accompanies the main window shares: it is
// created once, beside the main window, and Unload closes it. Its class
// destroys the window in its own destructor, while its members still live.
#include "ui/dialog_base.h"

template <class T>
class ModelessWindow : public WindowBase<T> {
public:
    // Closes the window, if it is open.
    void Unload() {
        if (this->hwnd_) DestroyWindow(this->hwnd_);
    }

protected:
    ModelessWindow() = default;

    // What such a window does with WM_CLOSE, a change of DPI and its end; true
    // when the message was one of them, which then returns 0.
    bool HandleModelessMessage(Layout& layout, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_CLOSE) return HandleDialogWindowMessage(this->hwnd_, layout, message, wParam, lParam);
        Unload();
        return true;
    }
    ~ModelessWindow() = default;

    // Creates the window, client area width x height at 96 DPI, beside another.
    void CreateBeside(const wchar_t* className, const wchar_t* caption, int width, int height, HWND beside) {
        WindowBase<T>::RegisterOnce(className);
        CreateDialogWindow(className, caption, width, height, static_cast<T*>(this));
        PlaceBeside(this->hwnd_, beside);
    }
};
