#include "modinfo/mod_info_editor.h"

#include <commctrl.h>
#include <richedit.h>

#include "core/errors.h"
#include "core/file_system.h"
#include "ui/prompts.h"
#include "core/scratch_folder.h"
#include "core/text.h"

namespace {

constexpr wchar_t kClass[] = L"TarrowModInfoEditor";
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kLine = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

bool operator==(const InformationFields& a, const InformationFields& b) {
    return a.name == b.name && a.version == b.version && a.author == b.author && a.description == b.description;
}

// Tab leaves the description for the buttons, as in every other field.
LRESULT CALLBACK DescriptionProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    try {
        if (message == WM_NCDESTROY) RemoveWindowSubclass(edit, &DescriptionProc, 1);
        LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
        if (message == WM_GETDLGCODE && lParam) {
            const MSG* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) result &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
        }
        return result;
    } catch (...) {
        ReportCurrentException();
    }
}

bool TooLargeToEdit(const std::wstring& archivePath) {
    try {
        return InformationFileTooLarge(archivePath);
    } catch (const AppError&) {
        // No library: the editor opens, and saving will say why.
        return false;
    }
}

}  // namespace

frmModInfoEditor::~frmModInfoEditor() { Unload(); }

bool frmModInfoEditor::Edit(const Game& game, const std::wstring& archivePath, HWND beside) {
    if (TooLargeToEdit(archivePath)) {
        MsgBox(L"Tarrow cannot edit the information of " + FileNameOf(archivePath) +
                   L": its tarrow.ini is larger than 64 KB. A real one is a few hundred bytes.",
               MB_OK | MB_ICONWARNING);
        return false;
    }
    if (hwnd_) {
        BringToFront(hwnd_);
        if (!MayDropChanges()) return false;
    } else {
        LoadRichEdit();
        CreateBeside(kClass, L"Mod Info Editor", 460, 405, beside);
        CreateControls();
        ShowDialogWindow(hwnd_);
    }
    game_ = game;
    LoadArchive(archivePath);
    SetFocus(c_.txtName);
    SendMessageW(c_.txtName, EM_SETSEL, 0, -1);
    return true;
}

void frmModInfoEditor::CreateControls() {
    c_.lblMod = layout_.Add(hwnd_, {IdLabel, L"STATIC", nullptr, 8, 8, 444, 17, kLabel | SS_PATHELLIPSIS});
    // Creation order is tab order: the four fields, then the buttons.
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Name:", 8, 35, 70, 17, kLabel});
    c_.txtName = layout_.Add(hwnd_, {IdName, L"EDIT", nullptr, 80, 32, 372, 21, kLine, WS_EX_CLIENTEDGE});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Version:", 8, 61, 70, 17, kLabel});
    c_.txtVersion = layout_.Add(hwnd_, {IdVersion, L"EDIT", nullptr, 80, 58, 372, 21, kLine, WS_EX_CLIENTEDGE});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Author:", 8, 87, 70, 17, kLabel});
    c_.txtAuthor = layout_.Add(hwnd_, {IdAuthor, L"EDIT", nullptr, 80, 84, 372, 21, kLine, WS_EX_CLIENTEDGE});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Description:", 8, 113, 70, 17, kLabel});
    c_.txtDescription = layout_.Add(
        hwnd_, {IdDescription, L"EDIT", nullptr, 80, 110, 372, 90,
                WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                WS_EX_CLIENTEDGE});
    SetWindowSubclass(c_.txtDescription, &DescriptionProc, 1, 0);
    c_.cmdSave = layout_.Add(hwnd_, {IdSave, L"BUTTON", L"Save", 280, 374, 80, 23, kButton});
    c_.cmdClose = layout_.Add(hwnd_, {IDCANCEL, L"BUTTON", L"Close", 372, 374, 80, 23, kButton});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Preview: what the information panel will show", 8, 208, 444, 17, kLabel});
    c_.rtfPreview =
        layout_.Add(hwnd_, {IdPreview, MSFTEDIT_CLASS, nullptr, 8, 226, 444, 140,
                            WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL});
}

void frmModInfoEditor::LoadArchive(const std::wstring& archivePath) {
    archive_ = archivePath;
    SetWindowTextW(c_.lblMod, (L"Mod: " + FileNameOf(archivePath)).c_str());
    // Without a library there is nothing to read, and saving will say why.
    ArchiveInformation read = ReadArchiveInformation(archivePath);
    existingText_ = std::move(read.text);
    saved_ = std::move(read.fields);
    ShowFields(saved_);
}

void frmModInfoEditor::ShowFields(const InformationFields& fields) {
    showing_ = true;
    SetWindowTextW(c_.txtName, fields.name.c_str());
    SetWindowTextW(c_.txtVersion, fields.version.c_str());
    SetWindowTextW(c_.txtAuthor, fields.author.c_str());
    SetWindowTextW(c_.txtDescription, fields.description.c_str());
    showing_ = false;
    UpdatePreview();
}

InformationFields frmModInfoEditor::Fields() const {
    return {WindowText(c_.txtName), WindowText(c_.txtVersion), WindowText(c_.txtAuthor), WindowText(c_.txtDescription)};
}

bool frmModInfoEditor::Dirty() const { return hwnd_ && !(Fields() == saved_); }

void frmModInfoEditor::UpdatePreview() {
    // The panel's own rich text, from the values as they will be stored.
    const InformationFields fields = Fields();
    const ModInformation info{true, EscapeValue(fields.name), EscapeValue(fields.version), EscapeValue(fields.author),
                              EscapeValue(fields.description)};
    const std::string rtf = InformationRtf(info);
    SETTEXTEX how{ST_DEFAULT, CP_ACP};
    SendMessageW(c_.rtfPreview, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(rtf.c_str()));
}

void frmModInfoEditor::SetWritable(bool writable) {
    writable_ = writable;
    if (c_.cmdSave) EnableWindow(c_.cmdSave, writable);
}

bool frmModInfoEditor::Save() {
    if (!writable_) {
        MsgBox(L"The game is running and holds its archives, so Tarrow could not save the information of " +
                   FileNameOf(archive_) + L".",
               MB_OK | MB_ICONWARNING);
        return false;
    }
    std::wstring warning;
    const std::wstring failure = SaveInformation(game_, archive_, existingText_, Fields(), warning, run_);
    if (!failure.empty()) {
        MsgBox(failure, MB_OK | MB_ICONWARNING);
        return false;
    }
    if (!warning.empty()) MsgBox(warning, MB_OK | MB_ICONWARNING);
    LoadArchive(archive_);
    if (onSaved_) onSaved_(archive_);
    return true;
}

bool frmModInfoEditor::MayDropChanges() {
    if (!Dirty()) return true;
    return MsgBox(L"Drop the changes to the information of " + FileNameOf(archive_) + L"?",
                  MB_YESNO | MB_ICONQUESTION) == IDYES;
}

LRESULT frmModInfoEditor::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE && !showing_) {
            UpdatePreview();
            return 0;
        }
        if (LOWORD(wParam) == IdSave && HIWORD(wParam) == BN_CLICKED) {
            Save();
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            if (MayDropChanges()) Unload();
            return 0;
        }
        return 0;
    case WM_CLOSE:
        if (MayDropChanges()) Unload();
        return 0;
    default:
        if (HandleDialogWindowMessage(hwnd_, layout_, message, wParam, lParam)) return 0;
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}
