#pragma once
// The program's message loop. Tab, Enter and Esc work in every open window:
// each is handed to IsDialogMessage first.
#include <windows.h>

void AddKeyboardWindow(HWND window);
void RemoveKeyboardWindow(HWND window);
// True when a keyboard window took the message.
bool DispatchToKeyboardWindows(MSG& msg);
int RunMessageLoop();
