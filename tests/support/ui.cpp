#include "tests/support/ui.h"

#include <commctrl.h>

#include "ui/message_loop.h"

#include <algorithm>

namespace {

void SendMouse(DWORD flags, LONG x = 0, LONG y = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// Where the pointer was last sent. Under Wine, a motion event from the display
// that the program reads late can put the pointer back where it was a moment
// ago, so a press sent without a position may land there: on the list clicked
// before, as a double click. So every event of ours carries its point, as a real
// mouse's events do.
POINT g_pointer{};

void SendAt(DWORD flags, POINT screen) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    SendMouse(flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (screen.x * 65535 + w / 2) / (w - 1),
              (screen.y * 65535 + h / 2) / (h - 1));
}

void MoveScreen(POINT screen) {
    g_pointer = screen;
    SendAt(0, screen);
    PumpUntil(
        [&] {
            POINT now{};
            GetCursorPos(&now);
            return now.x == screen.x && now.y == screen.y;
        },
        1000);
    PumpPending();
}

POINT ToScreen(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    return p;
}

std::pair<DWORD, DWORD> Flags(Button button) {
    switch (button) {
    case Button::Right: return {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP};
    case Button::Middle: return {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP};
    default: return {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        PumpPending();
        if (condition()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20)),
                                  QS_ALLINPUT);
    }
}

void PumpPending() {
    ServiceWatchedHandles();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) HandleLoopMessage(msg);
}

void MoveTo(HWND window, int x, int y) { MoveScreen(ToScreen(window, x, y)); }

void PressAt(HWND window, int x, int y, Button button) {
    MoveTo(window, x, y);
    SendAt(Flags(button).first, g_pointer);
    PumpPending();
}

void Release(Button button) {
    SendAt(Flags(button).second, g_pointer);
    PumpPending();
}

void ClickAt(HWND window, int x, int y, Button button) {
    PressAt(window, x, y, button);
    Release(button);
}

void DragTo(HWND from, POINT fromPoint, HWND to, POINT toPoint, Button button) {
    MoveTo(from, fromPoint.x, fromPoint.y);
    const auto [down, up] = Flags(button);
    SendAt(down, g_pointer);
    PumpPending();
    const POINT a = ToScreen(from, fromPoint.x, fromPoint.y);
    const POINT b = ToScreen(to, toPoint.x, toPoint.y);
    for (int step = 1; step <= 6; ++step) {
        MoveScreen({a.x + (b.x - a.x) * step / 6, a.y + (b.y - a.y) * step / 6});
    }
    SendAt(up, g_pointer);
    PumpPending();
}

void PressKey(WORD virtualKey) {
    INPUT inputs[2]{};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    PumpPending();
}

void PressCtrlKey(WORD virtualKey) { PressWithKey(VK_CONTROL, virtualKey); }

void PressWithKey(WORD held, WORD virtualKey) {
    INPUT inputs[4]{};
    for (INPUT& input : inputs) input.type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[3].ki.wVk = held;
    inputs[1].ki.wVk = inputs[2].ki.wVk = virtualKey;
    inputs[2].ki.dwFlags = inputs[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, inputs, sizeof(INPUT));
    PumpPending();
}

POINT CentreOf(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right / 2, r.bottom / 2};
}

std::wstring PanelText(HWND richText) {
    std::wstring out;
    for (wchar_t ch : WindowText(richText)) {
        if (ch == L'\n') continue;
        if (ch == L'\r' && (out.empty() || out.back() == L'\r')) continue;
        out += ch;
    }
    return out;
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* at = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = at;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

std::vector<std::wstring> ListItems(HWND listBox) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(listBox, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(listBox, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        item.resize(static_cast<size_t>(SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        items.push_back(item);
    }
    return items;
}

int ListSelection(HWND listBox) { return static_cast<int>(SendMessageW(listBox, LB_GETCURSEL, 0, 0)); }

void ClickListItem(HWND listBox, int index, Button button) {
    RECT r{};
    SendMessageW(listBox, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    ClickAt(listBox, (r.left + r.right) / 2, (r.top + r.bottom) / 2, button);
}

void SelectListViewRow(HWND listView, int row) {
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}
