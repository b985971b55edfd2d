#include "ui/message_loop.h"

#include "core/handles.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

namespace {

std::vector<HWND> g_windows;

struct CommandKey {
    UINT key;
    HWND target;
    int command;
    bool ctrl;
};
std::vector<CommandKey> g_keys;

// The loop waits on its own duplicate of a watched handle: the caller may
// close its handle at any time, and a closed handle never stays in the wait set.
struct Watch {
    HANDLE key;  // the caller's handle, by which it unwatches
    std::shared_ptr<KernelHandle> handle;
    std::function<void()> signalled;
};
std::vector<Watch> g_watches;
int g_modalLoops = 0;

std::vector<HANDLE> WatchedHandles() {
    std::vector<HANDLE> handles;
    handles.reserve(g_watches.size());
    for (const Watch& w : g_watches) handles.push_back(w.handle->get());
    return handles;
}

// An edit box that takes typing has its own Ctrl+Z; a read-only one has none.
bool TextBoxHasFocus() {
    HWND focus = GetFocus();
    if (!focus) return false;
    wchar_t name[32] = {};
    GetClassNameW(focus, name, static_cast<int>(std::size(name)));
    const bool edit = CompareStringOrdinal(name, -1, L"Edit", -1, TRUE) == CSTR_EQUAL ||
                      CompareStringOrdinal(name, 8, L"RichEdit", 8, TRUE) == CSTR_EQUAL;
    return edit && !(GetWindowLongPtrW(focus, GWL_STYLE) & ES_READONLY);
}

bool DispatchCommandKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (GetKeyState(VK_MENU) & 0x8000)) return false;
    const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const auto key = std::find_if(g_keys.begin(), g_keys.end(),
                                  [&](const CommandKey& k) { return k.key == msg.wParam && k.ctrl == ctrl; });
    if (key == g_keys.end() || !IsWindow(key->target) || !IsWindowEnabled(key->target)) return false;
    // A text box's own keys are Ctrl+ ones.
    if (key->ctrl && TextBoxHasFocus()) return false;
    SendMessageW(key->target, WM_COMMAND, static_cast<WPARAM>(key->command), 0);
    return true;
}

}  // namespace

ModalLoop::ModalLoop() { EnterModalLoop(); }
ModalLoop::~ModalLoop() { ExitModalLoop(); }
bool ModalLoopRunning() { return g_modalLoops > 0; }
void EnterModalLoop() { ++g_modalLoops; }
void ExitModalLoop() {
    if (g_modalLoops > 0) --g_modalLoops;
}

void AddKeyboardWindow(HWND window) { g_windows.push_back(window); }

void RemoveKeyboardWindow(HWND window) {
    std::erase(g_windows, window);
    std::erase_if(g_keys, [&](const CommandKey& k) { return k.target == window; });
}

void AddCommandKey(UINT key, HWND target, int command, bool ctrl) { g_keys.push_back({key, target, command, ctrl}); }

void WatchHandle(HANDLE handle, std::function<void()> signalled) {
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &own, SYNCHRONIZE, FALSE, 0)) return;
    UnwatchHandle(handle);
    g_watches.push_back({handle, std::make_shared<KernelHandle>(own), std::move(signalled)});
}

void UnwatchHandle(HANDLE handle) {
    std::erase_if(g_watches, [&](const Watch& w) { return w.key == handle; });
}

void ServiceWatchedHandles() {
    // A callback may add or remove watches: each is looked up again.
    for (HANDLE handle : WatchedHandles()) {
        if (WaitForSingleObject(handle, 0) != WAIT_OBJECT_0) continue;
        const auto watch =
            std::find_if(g_watches.begin(), g_watches.end(), [&](const Watch& w) { return w.handle->get() == handle; });
        if (watch != g_watches.end()) {
            const std::function<void()> signalled = watch->signalled;
            signalled();
        }
    }
}

bool DispatchToKeyboardWindows(MSG& msg) {
    for (HWND window : g_windows) {
        if (IsWindow(window) && (msg.hwnd == window || IsChild(window, msg.hwnd)) && IsDialogMessageW(window, &msg)) {
            return true;
        }
    }
    return false;
}

void HandleLoopMessage(MSG& msg) {
    if (DispatchCommandKey(msg) || DispatchToKeyboardWindows(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int RunMessageLoop() {
    for (;;) {
        std::vector<HANDLE> handles = WatchedHandles();
        const DWORD count = static_cast<DWORD>(std::min<size_t>(handles.size(), MAXIMUM_WAIT_OBJECTS - 1));
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(count, handles.data(), INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke < WAIT_OBJECT_0 + count) ServiceWatchedHandles();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            HandleLoopMessage(msg);
        }
    }
}
