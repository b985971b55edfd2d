#include "app/main_pages.h"

#include <commctrl.h>
#include <richedit.h>

#include "ui/runtime_error.h"

namespace {

constexpr wchar_t kPageClass[] = L"TarrowPage";
constexpr DWORD kListStyle =
    WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
constexpr DWORD kButtonStyle = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kLabelStyle = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;

// A page frame: a borderless container that hands its controls' messages to the main window.
LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORLISTBOX: return SendMessageW(GetParent(page), message, wParam, lParam);
        default: return DefWindowProcW(page, message, wParam, lParam);
        }
    } catch (...) {
        ReportCurrentException();
    }
}

void RegisterPageClass() {
    WNDCLASSEXW wc{sizeof wc};
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kPageClass, &wc)) return;
    wc.lpfnWndProc = PageProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPageClass;
    RegisterClassExW(&wc);
}

void CreateManagerPage(Layout& layout, MainControls& c) {
    using C = MainControls;
    HWND page = c.frametab[1];
    c.lblDisabled = layout.Add(page, {C::IdLabel, L"STATIC", L"Disabled Mods", 8, 0, 121, 17, kLabelStyle});
    c.lblEnabled = layout.Add(page, {C::IdLabel, L"STATIC", L"Enabled Mods", 144, 0, 121, 17, kLabelStyle});
    c.lblModInfo = layout.Add(page, {C::IdLabel, L"STATIC", L"Mod Information", 280, 0, 337, 17, kLabelStyle});
    // Tab order runs left to right, column by column.
    c.listDisabled = layout.Add(page, {C::IdListDisabled, L"LISTBOX", nullptr, 8, 16, 129, 212, kListStyle});
    c.cmdEnable = layout.Add(page, {C::IdEnable, L"BUTTON", L"Enable", 8, 232, 129, 17, kButtonStyle});
    c.listEnabled = layout.Add(page, {C::IdListEnabled, L"LISTBOX", nullptr, 144, 16, 129, 212, kListStyle});
    c.cmdDisable = layout.Add(page, {C::IdDisable, L"BUTTON", L"Disable", 144, 232, 129, 17, kButtonStyle});
    c.rtfModInfo = layout.Add(
        page, {C::IdModInfo, MSFTEDIT_CLASS, nullptr, 288, 16, 329, 212,
               WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL});
    c.cmdRefreshMods = layout.Add(page, {C::IdRefresh, L"BUTTON", L"Refresh Program", 288, 232, 121, 17, kButtonStyle});
}

}  // namespace

void CreateMainPages(HWND main, Layout& layout, MainControls& c, HCURSOR dragCursor) {
    using C = MainControls;
    RegisterPageClass();
    // Under the page frames, where it is never seen: it only holds the drag picture.
    c.picIconMove = layout.Add(main, {C::IdIconMove, L"STATIC", nullptr, 24, 48, 32, 32, SS_ICON});
    SendMessageW(c.picIconMove, STM_SETIMAGE, IMAGE_CURSOR, reinterpret_cast<LPARAM>(dragCursor));
    c.TabStrip1 = layout.Add(
        main, {C::IdTabStrip, WC_TABCONTROLW, nullptr, 0, 8, 630, 300, WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP});
    TCITEMW tab{TCIF_TEXT};
    tab.pszText = const_cast<wchar_t*>(L"Manager");
    SendMessageW(c.TabStrip1, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tab));
    tab.pszText = const_cast<wchar_t*>(L"Compatibility");
    SendMessageW(c.TabStrip1, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&tab));
    for (int page = 1; page <= 2; ++page) {
        c.frametab[page] =
            layout.Add(main, {C::IdPage1 + page - 1, kPageClass, nullptr, 0, 35, 625, 265,
                              static_cast<DWORD>((page == 1 ? WS_VISIBLE : 0) | WS_CLIPSIBLINGS), WS_EX_CONTROLPARENT});
        SetWindowPos(c.frametab[page], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    CreateManagerPage(layout, c);
}
