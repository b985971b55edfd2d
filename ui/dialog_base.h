#pragma once
// What the three modeless dialogs share: a top-level window without an owner,
// laid out from a table, that takes Tab, Enter and Esc like a dialog.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/layout.h"
#include "ui/message_loop.h"
#include "ui/window_base.h"

// Creates a dialog window whose client area is width x height at 96 DPI.
HWND CreateDialogWindow(const wchar_t* className, const wchar_t* caption, int width, int height, void* self);
// Shows the window and gives it the keyboard.
void ShowDialogWindow(HWND window);
// Brings an open dialog to the front.
void BringToFront(HWND window);
// Puts a window that accompanies another beside it, on its monitor and inside
// the work area: right if it fits, else left, else below, else offset by a
// caption height. Once the player has moved a window of that class, it opens
// where they left it, for the rest of the run.
void PlaceBeside(HWND window, HWND anchor);
// Notes where the player left the window; called as it is destroyed.
void RememberPlace(HWND window);
// What every such window does with a change of DPI and with its end; true
// when the message was one of them, which then returns 0.
bool HandleDialogWindowMessage(HWND window, Layout& layout, UINT message, WPARAM wParam, LPARAM lParam);
// A report list view's columns, their widths at 96 DPI, and whole rows selected.
void AddReportColumns(HWND list, const std::vector<std::wstring>& captions, const std::vector<int>& widths, UINT dpi);
