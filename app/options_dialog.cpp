#include "app/options_dialog.h"

#include <shlobj.h>

#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "ui/prompts.h"
#include "core/registry.h"

namespace {

constexpr wchar_t kClass[] = L"TarrowOptions";
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

}  // namespace

frmOptions::~frmOptions() { Unload(); }

void frmOptions::Load() {
    RegisterOnce(kClass);
    CreateDialogWindow(kClass, L"Options", 378, 128, this);
    // Another game's name is longer than "Call of Duty".
    c_.lblInstallPath = layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Call of Duty Installation Path:", 8, 16,
                                            other_ ? 361 : 209, 17, WS_VISIBLE | SS_LEFT});
    c_.txtLocation = layout_.Add(hwnd_, {IdLocation, L"EDIT", L"...", 8, 32, 337, 19,
                                         WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE});
    c_.cmdSelectInstall = layout_.Add(hwnd_, {IdSelectInstall, L"BUTTON", L"...", 352, 32, 17, 19, kButton});
    c_.cmdOk = layout_.Add(hwnd_, {IDOK, L"BUTTON", L"Okay", 144, 88, 63, 25, kButton | BS_DEFPUSHBUTTON});
    c_.cmdCancel = layout_.Add(hwnd_, {IDCANCEL, L"BUTTON", L"Cancel", 224, 88, 63, 25, kButton});
    c_.cmdApply = layout_.Add(hwnd_, {IdApply, L"BUTTON", L"Apply", 304, 88, 63, 25, kButton});
    Form_Load();
    ShowDialogWindow(hwnd_);
}

void frmOptions::Unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT frmOptions::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IdSelectInstall: cmdSelectInstall_Click(); return 0;
        case IdApply: SetOptions(); return 0;
        case IDOK:
            // A folder that was not stored leaves the dialog open to mend it.
            if (SetOptions()) Unload();
            return 0;
        case IDCANCEL: Unload(); return 0;
        default: return 0;
        }
    case WM_DPICHANGED: ApplyDpiChange(hwnd_, layout_, wParam, lParam); return 0;
    case WM_CLOSE: Unload(); return 0;
    case WM_DESTROY: RemoveKeyboardWindow(hwnd_); return 0;
    default: return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void frmOptions::Form_Load() {
    if (other_) {
        SetWindowTextW(c_.lblInstallPath, (other_->name + L" Installation Path:").c_str());
        SetWindowTextW(c_.txtLocation, other_->folder.c_str());
        return;
    }
    SetWindowTextW(c_.txtLocation, Globals::GetLongPath(ReadInstallPath()).c_str());
}

void frmOptions::cmdSelectInstall_Click() {
    // Flags 3: file-system folders only, nothing below the domain level.
    const auto folder =
        CurrentPrompts().BrowseForFolder(hwnd_, other_ ? other_->name + L" Installation" : L"Call of Duty Installation",
                                         BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN);
    if (folder) SetWindowTextW(c_.txtLocation, folder->c_str());
}

bool frmOptions::SetOptions() {
    const std::wstring folder = WindowText(c_.txtLocation);
    // The short form of a folder that is not there is empty; storing it would
    // wipe the game's own install path.
    if (!FileSystem::FolderExists(folder)) {
        MsgBox(L"The folder \"" + folder + L"\" does not exist. Nothing was stored.", MB_OK | MB_ICONWARNING);
        return false;
    }
    if (other_) return other_->keep(folder);
    const LONG result =
        SetRegistryValue(HKEY_LOCAL_MACHINE, GameKey, InstallPathValue, Globals::GetShortPath(folder), REG_SZ);
    if (result != ERROR_SUCCESS) {
        MsgBox(L"The folder \"" + folder + L"\" could not be stored: " + SystemMessage(static_cast<DWORD>(result)),
               MB_OK | MB_ICONWARNING);
        return false;
    }
    Globals::GamePath = Globals::GetLongPath(ReadInstallPath());
    return true;
}
