#include "app/info_dialogs.h"

#include <richedit.h>

#include "core/globals.h"
#include "resources/resource.h"

namespace {

enum : int { IdLabel = 100, IdPicture = 101, IdChanges = 102 };
constexpr wchar_t kAboutClass[] = L"TarrowAbout";
constexpr wchar_t kChangesClass[] = L"TarrowChanges";
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;

// The single button closes the dialog; so do Esc and the close box.
bool IsCloseCommand(UINT message, WPARAM wParam) {
    return message == WM_CLOSE || (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL));
}

}  // namespace

frmAbout::~frmAbout() { Unload(); }

void frmAbout::Load() {
    RegisterOnce(kAboutClass);
    CreateDialogWindow(kAboutClass, L"About", 468, 262, this);
    c_.lblVersion = layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Tarrow", 16, 24, 267, 17, kLabel});
    c_.lblWhatFor = layout_.Add(hwnd_, {IdLabel, L"STATIC", L"for the Call of Duty SP Demo", 17, 48, 267, 25, kLabel});
    c_.lblAbout =
        layout_.Add(hwnd_, {IdLabel, L"STATIC", L"The easy way to manage your CoD mods.", 16, 72, 265, 25, kLabel});
    c_.lblWarning = layout_.Add(
        hwnd_, {IdLabel, L"STATIC", L"Back up your mods before you switch them: Tarrow renames their archives.", 16, 96,
                265, 33, kLabel});
    // Starts left of the client area and runs past its edges; the window clips it.
    c_.picSig = layout_.Add(
        hwnd_, {IdPicture, L"STATIC", nullptr, -32, 144, 553, 201, WS_VISIBLE | SS_BITMAP | SS_REALSIZECONTROL});
    signature_.Reset(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SIGNATURE), IMAGE_BITMAP, 0, 0, 0)));
    SendMessageW(c_.picSig, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(signature_.get()));
    c_.Command1 = layout_.Add(hwnd_, {IDOK, L"BUTTON", L"Okay", 336, 24, 113, 25, kButton});
    SetWindowTextW(c_.lblVersion, Globals::VersionText.c_str());
    ShowDialogWindow(hwnd_);
}

void frmAbout::Unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT frmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsCloseCommand(message, wParam)) {
        Unload();
        return 0;
    }
    if (message == WM_DESTROY) RemoveKeyboardWindow(hwnd_);
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

frmChanges::~frmChanges() { Unload(); }

void frmChanges::Load() {
    RegisterOnce(kChangesClass);
    LoadRichEdit();
    CreateDialogWindow(kChangesClass, L"Changes", 468, 260, this);
    c_.rtfChanges = layout_.Add(
        hwnd_, {IdChanges, MSFTEDIT_CLASS, nullptr, 8, 8, 449, 225,
                WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL});
    c_.cmdClose = layout_.Add(hwnd_, {IDOK, L"BUTTON", L"Close", 184, 240, 89, 17, kButton});
    // The change log is set as plain text, not as rich text.
    SETTEXTEX how{ST_DEFAULT, 1200};
    SendMessageW(c_.rtfChanges, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how),
                 reinterpret_cast<LPARAM>(Globals::ChangesText.c_str()));
    ShowDialogWindow(hwnd_);
}

void frmChanges::Unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT frmChanges::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsCloseCommand(message, wParam)) {
        Unload();
        return 0;
    }
    if (message == WM_DESTROY) RemoveKeyboardWindow(hwnd_);
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}
