#pragma once
// The main window as the window tests start and drive it.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/main_window.h"
#include "tests/support/ui.h"

// Loads the main window, runs its start-up and gives it the foreground.
inline std::unique_ptr<frmMain> StartMainWindow() {
    auto form = std::make_unique<frmMain>();
    form->Load();
    SetForegroundWindow(form->hwnd());
    PumpPending();
    return form;
}

// A real click on a tab of the tab strip.
inline void ClickTab(HWND tabStrip, int index) {
    RECT r{};
    SendMessageW(tabStrip, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    ClickAt(tabStrip, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}
