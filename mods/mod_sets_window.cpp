#include "mods/mod_sets_window.h"

#include <commctrl.h>

#include <algorithm>

#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "core/handles.h"
#include "ui/prompts.h"
#include "ui/shortcut.h"
#include "core/text.h"
#include "games/launch.h"
#include "mods/mod_library.h"

using namespace std::string_literals;

namespace {

constexpr wchar_t kClass[] = L"TarrowModSets";
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr wchar_t kFilter[] = L"Mod sets (*.tarrow-set.txt)\0*.tarrow-set.txt\0All files (*.*)\0*.*\0";

std::string ReadWhole(const std::wstring& path) {
    unsigned long error = 0;
    // A mod set is a few kilobytes; a large file is not one.
    std::string bytes = FileSystem::ReadWholeFile(path, 1u << 20, &error);
    if (error) throw Win32Error(error, L"Tarrow could not read " + path);
    return bytes;
}

}  // namespace

frmModSets::~frmModSets() { Unload(); }

void frmModSets::Load(const Game& game, HWND beside) {
    game_ = game;
    CreateBeside(kClass, L"Mod Sets", 380, 281, beside);
    CreateControls();
    ShowDialogWindow(hwnd_);
    Fill(true);
}

void frmModSets::Follow(const Game& game) {
    game_ = game;
    Fill(false);
}

void frmModSets::CreateControls() {
    layout_.Add(hwnd_,
                {IdLabel, L"STATIC", L"Sets of this game folder:", 8, 8, 260, 17, WS_VISIBLE | SS_LEFT | SS_NOPREFIX});
    c_.lvSets = layout_.Add(
        hwnd_, {IdSets, WC_LISTVIEWW, nullptr, 8, 26, 266, 216,
                WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA});
    const struct {
        HWND* control;
        int id;
        const wchar_t* text;
        int y;
    } buttons[] = {{&c_.cmdSave, IdSave, L"Save Current...", 26}, {&c_.cmdSwitch, IdSwitch, L"Switch To", 53},
                   {&c_.cmdRename, IdRename, L"Rename...", 88},   {&c_.cmdDelete, IdDelete, L"Delete", 115},
                   {&c_.cmdExport, IdExport, L"Export...", 150},  {&c_.cmdImport, IdImport, L"Import...", 177},
                   {&c_.cmdClose, IDCANCEL, L"Close", 219}};
    for (const auto& b : buttons) *b.control = layout_.Add(hwnd_, {b.id, L"BUTTON", b.text, 282, b.y, 90, 23, kButton});
    c_.cmdShortcut = layout_.Add(hwnd_, {IdShortcut, L"BUTTON", L"Create Desktop Shortcut", 8, 250, 266, 23, kButton});
    AddReportColumns(c_.lvSets, {L"Set", L"Mods"}, {180, 60}, DpiOf(hwnd_));
}

void frmModSets::Fill(bool sayWhatWasSkipped) {
    StoredSets stored = ReadModSets(game_);
    sets_ = std::move(stored.sets);
    SendMessageW(c_.lvSets, LVM_SETITEMCOUNT, sets_.size(), 0);
    InvalidateRect(c_.lvSets, nullptr, TRUE);
    if (!sayWhatWasSkipped || stored.skipped.empty()) return;
    std::wstring text = L"Tarrow skipped these values of its mod sets in the registry:\r\n";
    for (const auto& why : stored.skipped) text += L"\r\n" + why;
    MsgBox(text, MB_OK | MB_ICONWARNING);
}

int frmModSets::Selected() const {
    const int row = static_cast<int>(SendMessageW(c_.lvSets, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return row >= 0 && static_cast<size_t>(row) < sets_.size() ? row : -1;
}

std::vector<std::wstring> frmModSets::FilesOfPlaces() const { return ArchiveFileNamesOfEveryPlace(game_); }

std::wstring frmModSets::AskName(const std::wstring& title, const std::wstring& proposal, const std::wstring& except) {
    std::wstring name = proposal;
    for (;;) {
        name = CurrentPrompts().Input(L"The set's name:", title, name);
        if (name.empty()) return {};
        if (!IsValidSetName(name)) {
            MsgBox(L"A set's name has 1 to 64 characters.", MB_OK | MB_ICONWARNING);
            continue;
        }
        const bool taken = std::any_of(sets_.begin(), sets_.end(), [&](const ModSet& s) {
            return EqualNoCase(s.name, name) && !EqualNoCase(s.name, except);
        });
        if (!taken) return name;
        MsgBox(L"There is a set named " + name + L" already. Choose another name.", MB_OK | MB_ICONWARNING);
    }
}

void frmModSets::cmdSave_Click() {
    const std::wstring name = AskName(L"Save Current", {});
    if (name.empty()) return;
    ModSet set{name, {}};
    for (const auto& file : FilesOfPlaces()) {
        if (file.size() > 4 && file.compare(file.size() - 4, 4, EnabledExtension) == 0 &&
            !game_.IsOwnArchiveFile(file)) {
            set.mods.push_back(SetModName(file));
        }
    }
    if (const long error = SaveModSet(game_, set)) {
        MsgBox(L"Tarrow could not keep the set: " + SystemMessage(static_cast<DWORD>(error)), MB_OK | MB_ICONWARNING);
    }
    Fill(false);
}

void frmModSets::cmdSwitch_Click() {
    const int row = Selected();
    if (row < 0) return;
    // Copies: while the preview is open, the window may follow another game.
    const ModSet set = sets_[static_cast<size_t>(row)];
    const Game game = game_;
    const SetSwitch plan = PlanSetSwitch(game, set, FilesOfPlaces());
    if (plan.renames.empty()) {
        MsgBox(SetSwitchPreview(plan), MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (MsgBox(SetSwitchPreview(plan), MB_OKCANCEL | MB_ICONQUESTION) != IDOK || !run_) return;
    if (!(game == game_)) {
        MsgBox(L"Tarrow now manages " + game_.Name() + L", so it did not switch " + game.Name() + L" to the set " +
                   set.name + L". Nothing was renamed.",
               MB_OK | MB_ICONINFORMATION);
        return;
    }
    run_({L"switching to the set " + set.name, plan.renames}, L"Switch to " + set.name, {});
}

void frmModSets::cmdShortcut_Click() {
    const int row = Selected();
    if (row < 0) return;
    const ModSet set = sets_[static_cast<size_t>(row)];
    const std::wstring desktop = DesktopFolder();
    if (desktop.empty()) {
        MsgBox(L"Tarrow found no desktop folder to put the shortcut in.", MB_OK | MB_ICONWARNING);
        return;
    }
    const std::wstring program = FileSystem::ProgramPath();
    const LaunchRequest request{LaunchGameName(game_, FindKnownGames(Globals::GamePath)), set.name, true, {}};
    const Shortcut shortcut{program, LaunchArguments(request), FileSystem::ProgramFolder(),
                            L"Switches " + game_.Name() + L" to the mod set " + set.name + L" and plays"};
    const std::wstring path = FreeShortcutPath(desktop, set.name + L" - " + game_.Name());
    if (const HRESULT result = WriteShortcut(path, shortcut); FAILED(result)) {
        MsgBox(L"Tarrow could not make the shortcut " + path + L": " + SystemMessage(static_cast<DWORD>(result)),
               MB_OK | MB_ICONWARNING);
        return;
    }
    MsgBox(L"Tarrow made the shortcut \"" + FileNameOf(path) + L"\" on the desktop.", MB_OK | MB_ICONINFORMATION);
}

void frmModSets::cmdRename_Click() {
    const int row = Selected();
    if (row < 0) return;
    ModSet set = sets_[static_cast<size_t>(row)];
    const std::wstring old = set.name;
    set.name = AskName(L"Rename", old, old);
    if (set.name.empty() || set.name == old) return;
    // The new value is written before the old one goes, so that a failure keeps the set; the
    // registry names values without regard to case, so a new case needs the old value gone first.
    const bool caseOnly = EqualNoCase(old, set.name);
    if (caseOnly) DeleteModSet(game_, old);
    if (const long error = SaveModSet(game_, set)) {
        MsgBox(L"Tarrow could not rename the set: " + SystemMessage(static_cast<DWORD>(error)), MB_OK | MB_ICONWARNING);
    } else if (!caseOnly) {
        DeleteModSet(game_, old);
    }
    Fill(false);
}

void frmModSets::cmdDelete_Click() {
    const int row = Selected();
    if (row < 0) return;
    const std::wstring name = sets_[static_cast<size_t>(row)].name;
    if (MsgBox(L"Delete the set " + name + L"?", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    DeleteModSet(game_, name);
    Fill(false);
}

void frmModSets::cmdExport_Click() {
    const int row = Selected();
    if (row < 0) return;
    const ModSet set = sets_[static_cast<size_t>(row)];
    const auto path =
        CurrentPrompts().SaveFileName(hwnd_, set.name + L".tarrow-set.txt", std::wstring(kFilter, std::size(kFilter)));
    if (!path) return;
    try {
        FileSystem::WriteWholeFile(*path, ExportModSet(set));
    } catch (const AppError& error) {
        MsgBox(error.Description(), MB_OK | MB_ICONWARNING);
    }
}

void frmModSets::cmdImport_Click() {
    const std::vector<std::wstring> files =
        CurrentPrompts().OpenFileNames(hwnd_, std::wstring(kFilter, std::size(kFilter)));
    if (files.empty()) return;
    ImportedSet imported;
    try {
        imported = ImportModSet(ReadWhole(files.front()));
    } catch (const AppError& error) {
        MsgBox(error.Description(), MB_OK | MB_ICONWARNING);
        return;
    }
    if (!imported.failure.empty()) {
        MsgBox(FileNameOf(files.front()) + L": " + imported.failure, MB_OK | MB_ICONWARNING);
        return;
    }
    const bool taken = std::any_of(sets_.begin(), sets_.end(),
                                   [&](const ModSet& s) { return EqualNoCase(s.name, imported.set.name); });
    if (taken) imported.set.name = AskName(L"Import", imported.set.name);
    if (imported.set.name.empty()) return;
    if (const long error = SaveModSet(game_, imported.set)) {
        MsgBox(L"Tarrow could not keep the set: " + SystemMessage(static_cast<DWORD>(error)), MB_OK | MB_ICONWARNING);
    }
    Fill(false);
}

LRESULT frmModSets::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL: Unload(); return 0;
        case IdSave: cmdSave_Click(); return 0;
        case IdSwitch: cmdSwitch_Click(); return 0;
        case IdRename: cmdRename_Click(); return 0;
        case IdDelete: cmdDelete_Click(); return 0;
        case IdExport: cmdExport_Click(); return 0;
        case IdImport: cmdImport_Click(); return 0;
        case IdShortcut: cmdShortcut_Click(); return 0;
        default: return 0;
        }
    case WM_NOTIFY: {
        auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (header.code == LVN_GETDISPINFOW && header.idFrom == IdSets) {
            auto& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
            const auto row = static_cast<size_t>(item.iItem);
            if (!(item.mask & LVIF_TEXT) || row >= sets_.size()) return 0;
            cell_ = item.iSubItem == 0 ? sets_[row].name : ToDecimal(static_cast<long long>(sets_[row].mods.size()));
            item.pszText = cell_.data();
        }
        return 0;
    }
    default:
        if (HandleModelessMessage(layout_, message, wParam, lParam)) return 0;
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}
