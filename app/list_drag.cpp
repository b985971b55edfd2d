#include "app/list_drag.h"

#include <commctrl.h>

#include "app/mod_lists_view.h"
#include "ui/runtime_error.h"

void ListDrag::Attach(HWND first, HWND second, HCURSOR cursor, Handlers handlers) {
    lists_[0] = first;
    lists_[1] = second;
    cursor_ = cursor;
    handlers_ = std::move(handlers);
    for (HWND list : lists_) SetWindowSubclass(list, &ListDrag::ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK ListDrag::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    try {
        return reinterpret_cast<ListDrag*>(self)->OnMessage(list, message, wParam, lParam);
    } catch (...) {
        ReportCurrentException();
    }
}

LRESULT ListDrag::OnMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    // The second press of a double click is a press too.
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        if (Busy()) return 0;
        return OnPress(list, message, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_DELETE) {
            handlers_.deletePressed(list);
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        if (source_ == list) {
            SetCursor(cursor_);
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (source_ == list) {
            SetCursor(cursor_);
            return TRUE;
        }
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if ((pressList_ == list && message == pressRelease_) || (source_ == list && message == release_)) {
            return OnRelease(list, message, wParam, lParam);
        }
        break;
    case WM_CAPTURECHANGED:
        // Another window took the mouse: the drag ends without a drop.
        if (source_ == list && reinterpret_cast<HWND>(lParam) != list) End();
        break;
    case WM_NCDESTROY: RemoveWindowSubclass(list, &ListDrag::ListProc, 1); break;
    default: break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

LRESULT ListDrag::OnRelease(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (pressList_ == list) {
        // Released while the press was still being handled (a prompt was
        // open): the list ends its tracking without a new selection.
        return DefWithoutSelect(list, message, wParam, lParam);
    }
    POINT at{};
    GetCursorPos(&at);
    source_ = nullptr;
    // The list ends its own tracking of the press; it selects nothing new.
    if (message == WM_LBUTTONUP) DefWithoutSelect(list, message, wParam, lParam);
    if (GetCapture() == list) ReleaseCapture();
    End();
    HWND target = WindowFromPoint(at);
    if (IsOurs(target)) handlers_.dropped(target, list);
    return 0;
}

LRESULT ListDrag::DefWithoutSelect(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool was = suppressSelect_;
    suppressSelect_ = true;
    const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
    suppressSelect_ = was;
    return result;
}

LRESULT ListDrag::OnPress(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK;
    const bool right = message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK;
    const UINT release = left ? WM_LBUTTONUP : right ? WM_RBUTTONUP : WM_MBUTTONUP;
    // The press selects first and shows that mod, once; then a list with a
    // current item begins a drag. The list's own notices of the press and of
    // its release are not a new selection.
    pressList_ = list;
    lastList_ = list;
    pressRelease_ = release;
    const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lParam);
    // The second press of a double click selects nothing new.
    if (message == WM_LBUTTONDOWN && HIWORD(hit) == 0) handlers_.pressed(list);
    pressList_ = nullptr;
    // A prompt opened by the press may have taken its release, which then never
    // reaches the list: a drag begins only while the button is still down.
    const int button = left ? VK_LBUTTON : right ? VK_RBUTTON : VK_MBUTTON;
    if ((GetKeyState(button) & 0x8000) && !CurrentItemText(list).empty() && handlers_.mayDrag()) Begin(list, release);
    return result;
}

void ListDrag::Begin(HWND list, UINT releaseMessage) {
    source_ = list;
    release_ = releaseMessage;
    SetCapture(list);
    SetCursor(cursor_);
}

void ListDrag::End() {
    source_ = nullptr;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}
