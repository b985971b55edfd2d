#pragma once
// What the three modeless dialogs share: a top-level window without an owner,
// laid out from a table, that takes Tab, Enter and Esc like a dialog.
#include <windows.h>

#include "core/layout.h"
#include "core/message_loop.h"
#include "core/window_base.h"

// Creates a dialog window whose client area is width x height at 96 DPI.
HWND CreateDialogWindow(const wchar_t* className, const wchar_t* caption, int width, int height, void* self);
// Shows the window and gives it the keyboard.
void ShowDialogWindow(HWND window);
// Brings an open dialog to the front.
void BringToFront(HWND window);
