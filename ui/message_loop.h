#pragma once
// The program's message loop. Tab, Enter and Esc work in every open window:
// each is handed to IsDialogMessage first. Ctrl+ keys that are commands of the
// main window work in every window too, except where a text box has the
// focus: there they are the box's own. A handle that the program waits for is
// waited for here, with the messages, so no thread is needed.
#include <windows.h>

#include <functional>

void AddKeyboardWindow(HWND window);
void RemoveKeyboardWindow(HWND window);
// Ctrl+key (or the key alone, for F5 and its kind) sends command to target as a menu command would.
void AddCommandKey(UINT key, HWND target, int command, bool ctrl = true);
// While watched, a signalled handle calls signalled from the loop.
void WatchHandle(HANDLE handle, std::function<void()> signalled);
void UnwatchHandle(HANDLE handle);
// Calls the callbacks of the watched handles that are signalled now.
void ServiceWatchedHandles();
// What the loop does with one message: a command key, a keyboard window, or dispatched.
void HandleLoopMessage(MSG& msg);
// True when a keyboard window took the message.
bool DispatchToKeyboardWindows(MSG& msg);
int RunMessageLoop();

// Held while a loop of the system's runs inside one of ours: a menu, a
// prompt, the folder browser. Timers still fire there, so work that rebuilds
// what such a loop may hold on to waits until it ends.
class ModalLoop {
public:
    ModalLoop();
    ~ModalLoop();
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;
};
bool ModalLoopRunning();
// For a loop whose start and end arrive as two messages (a window's menus).
void EnterModalLoop();
void ExitModalLoop();
