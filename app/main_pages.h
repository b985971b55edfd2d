#pragma once
// The main window's tab strip and its two pages: the Manager (two lists of
// mods, the information panel, three buttons) and the Compatibility page's frame.
#include <windows.h>

#include "ui/layout.h"

// The control identifiers, by which the controls can be found from outside.
struct MainControlIds {
    enum ControlId : int {
        IdTabStrip = 200,
        IdPage1,
        IdPage2,
        IdIconMove,
        IdLabel,
        IdListDisabled,
        IdListEnabled,
        IdModInfo,
        IdEnable,
        IdDisable,
        IdRefresh,
    };
};

struct MainControls : MainControlIds {
    HWND TabStrip1 = nullptr;
    HWND frametab[3] = {};  // pages 1 and 2, as the tabs count them
    HWND picIconMove = nullptr;
    HWND lblDisabled = nullptr, lblEnabled = nullptr, lblModInfo = nullptr;
    HWND listDisabled = nullptr, listEnabled = nullptr;
    HWND rtfModInfo = nullptr;
    HWND cmdEnable = nullptr, cmdDisable = nullptr, cmdRefreshMods = nullptr;
};

// Lays the controls out in the main window; the page frames hand their
// controls' messages to it. The drag cursor is shown in picIconMove.
void CreateMainPages(HWND main, Layout& layout, MainControls& c, HCURSOR dragCursor);
