#pragma once
// Real input and message pumping for window tests under Xvfb.
#include <windows.h>

#include "ui/window_base.h"

#include <functional>
#include <string>
#include <vector>

// Processes messages until the condition holds or the time runs out; returns
// whether it held. Waits on the message queue, never with a fixed sleep.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);
// Processes every message that is waiting now, and what they cause.
void PumpPending();

enum class Button { Left, Right, Middle };
// Moves the real pointer to a point of a window's client area.
void MoveTo(HWND window, int x, int y);
// A real click, through SendInput, at a point of a window's client area.
void ClickAt(HWND window, int x, int y, Button button = Button::Left);
// A real press at a point, and its release, each on its own.
void PressAt(HWND window, int x, int y, Button button = Button::Left);
void Release(Button button = Button::Left);
// Presses at one point, moves in steps, and releases over another window's point.
void DragTo(HWND from, POINT fromPoint, HWND to, POINT toPoint, Button button = Button::Left);
// A real key press and release.
void PressKey(WORD virtualKey);
// A real key pressed and released while Ctrl is held.
void PressCtrlKey(WORD virtualKey);
// A real key pressed and released while another (VK_MENU for Alt) is held.
void PressWithKey(WORD held, WORD virtualKey);
// Centre of a window, in its own client coordinates.
POINT CentreOf(HWND window);

// A rich-text view's text with its blank lines dropped: "\r" ends each line.
std::wstring PanelText(HWND richText);
// The Unicode text on the clipboard; empty when there is none or the clipboard is busy.
std::wstring ClipboardText();
std::vector<std::wstring> ListItems(HWND listBox);
int ListSelection(HWND listBox);
// Selects and focuses one row of a list view, as the program itself would.
void SelectListViewRow(HWND listView, int row);
// Selects an item with a real click on it.
void ClickListItem(HWND listBox, int index, Button button = Button::Left);
