#include "ui/busy_cursor.h"

#include <windows.h>

namespace {
int g_depth = 0;
}

BusyCursor::BusyCursor() {
    ++g_depth;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

BusyCursor::~BusyCursor() {
    if (--g_depth == 0) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

bool BusyCursor::Active() { return g_depth > 0; }

bool BusyCursor::Apply() {
    if (g_depth == 0) return false;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
}
