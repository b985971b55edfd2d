#include "compat/compatibility.h"

#include <commctrl.h>

#include "ui/busy_cursor.h"
#include "core/errors.h"
#include "ui/prompts.h"

namespace {

constexpr wchar_t kClass[] = L"TarrowCompatibility";
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;

}  // namespace

void ctlCompatibility::Create(HWND page, int left, int top, int width, int height) {
    RegisterOnce(kClass);
    const UINT dpi = DpiOf(page);
    if (!CreateWindowExW(WS_EX_CONTROLPARENT, kClass, nullptr, WS_CHILD | WS_VISIBLE, Layout::Scale(left, dpi),
                         Layout::Scale(top, dpi), Layout::Scale(width, dpi), Layout::Scale(height, dpi), page, nullptr,
                         GetModuleHandleW(nullptr), this)) {
        throw Win32Error(GetLastError(), L"Could not create the Compatibility page");
    }
    // Creation order is tab order: the list, the button, then what takes no focus.
    c_.listEnabled = layout_.Add(
        hwnd_, {IdList, L"LISTBOX", nullptr, 8, 16, 153, 212,
                WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT});
    c_.cmdCheck = layout_.Add(
        hwnd_, {IdCheck, L"BUTTON", L"Check Compatibility", 8, 232, 153, 17, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON});
    c_.lblEnabled = layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Enabled Mods", 8, 0, 153, 17, kLabel});
    c_.ProgressBar1 = layout_.Add(hwnd_, {IdProgress, PROGRESS_CLASSW, nullptr, 176, 232, 441, 17, WS_VISIBLE});
    SendMessageW(c_.ProgressBar1, PBM_SETRANGE32, 0, 100);
    c_.lblConflicts = layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Conflicts", 176, 0, 441, 17, kLabel});
    c_.txtOutput = layout_.Add(hwnd_, {IdOutput, L"EDIT", nullptr, 176, 16, 441, 212,
                                       WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE |
                                           ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_READONLY,
                                       WS_EX_CLIENTEDGE});
    c_.lblIdentical = layout_.Add(hwnd_, {IdIdentical, L"STATIC", nullptr, 176, 16, 441, 17, SS_LEFT | SS_NOPREFIX});
}

void ctlCompatibility::ShowIdentical(const std::wstring& line) {
    identical_ = line;
    const UINT dpi = DpiOf(hwnd_);
    const int top = line.empty() ? 16 : 33;
    SetWindowTextW(c_.lblIdentical, line.c_str());
    ShowWindow(c_.lblIdentical, line.empty() ? SW_HIDE : SW_SHOW);
    SetWindowPos(c_.txtOutput, nullptr, Layout::Scale(176, dpi), Layout::Scale(top, dpi), Layout::Scale(441, dpi),
                 Layout::Scale(228 - top, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT ctlCompatibility::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IdCheck && HIWORD(wParam) == BN_CLICKED) cmdCheck_Click();
        return 0;
    case WM_DPICHANGED_AFTERPARENT:
        layout_.Rescale(DpiOf(hwnd_));
        ShowIdentical(identical_);
        return 0;
    default: return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

std::wstring ctlCompatibility::ItemText(int index) const {
    std::wstring text(static_cast<size_t>(SendMessageW(c_.listEnabled, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
    const LRESULT n = SendMessageW(c_.listEnabled, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(n == LB_ERR ? 0 : static_cast<size_t>(n));
    return text;
}

void ctlCompatibility::RefreshList(const Game& game, const std::vector<std::wstring>& enabledMods) {
    game_ = game;
    SendMessageW(c_.listEnabled, LB_RESETCONTENT, 0, 0);
    for (const auto& name : enabledMods) {
        SendMessageW(c_.listEnabled, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
}

void ctlCompatibility::cmdCheck_Click() {
    const int count = static_cast<int>(SendMessageW(c_.listEnabled, LB_GETCOUNT, 0, 0));
    if (count == 1) {
        MsgBox(L"Can't check compatibility with one mod", MB_OK | MB_ICONINFORMATION);
        return;
    }
    const int selected = static_cast<int>(SendMessageW(c_.listEnabled, LB_GETCURSEL, 0, 0));
    if (selected == LB_ERR) {
        MsgBox(L"Please select a mod first", MB_OK);
        return;
    }
    Check(count, selected);
}

void ctlCompatibility::Check(int count, int selected) {
    std::vector<std::wstring> unreadable;
    {
        BusyCursor busy;
        SetWindowTextW(c_.lblConflicts, L"Conflicts: Searching");
        UpdateWindow(c_.lblConflicts);
        lists_ = WorkLists{};
        EnableWindow(c_.listEnabled, FALSE);
        SetWindowTextW(c_.txtOutput, L"");
        ShowIdentical({});
        const int maximum = count - 1;
        SendMessageW(c_.ProgressBar1, PBM_SETRANGE32, 0, maximum);
        ShowWindow(c_.ProgressBar1, SW_SHOW);
        SendMessageW(c_.ProgressBar1, PBM_SETPOS, 0, 0);
        const std::wstring main = game_.ArchiveFolder();
        for (int i = 0; i <= maximum; ++i) {
            const std::wstring name = ItemText(i);
            if (!TakeInventory(lists_, main, name, i == selected)) unreadable.push_back(name);
            SendMessageW(c_.ProgressBar1, PBM_SETPOS, i, 0);
            UpdateWindow(c_.ProgressBar1);
        }
        PairConflicts(lists_);
        SetWindowTextW(c_.txtOutput, ConflictReport(lists_).c_str());
        SetWindowTextW(c_.lblConflicts, ConflictCount(lists_).c_str());
        ShowIdentical(IdenticalLine(IdenticalCopies(lists_, main, ItemText(selected))));
    }
    EnableWindow(c_.listEnabled, TRUE);
    if (!unreadable.empty()) MsgBox(UnreadableMessage(unreadable), MB_OK | MB_ICONWARNING);
}
