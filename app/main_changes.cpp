// The main window's commands that change the game's folders: Enable and
// Disable, install, remove, Undo, Redo and Forget, and what follows a save of
// the editor. Each hands its work to the change coordinator.
#include "app/main_window.h"

#include <shellapi.h>

#include "core/file_system.h"
#include "core/text.h"
#include "mods/installer.h"
#include "ui/prompts.h"

void frmMain::mnuToolsInstall_Click() {
    using namespace std::string_literals;
    Install(CurrentPrompts().OpenFileNames(hwnd_, L"Mods (*.pk3;*.zip)\0*.pk3;*.zip\0All files (*.*)\0*.*\0"s));
}

void frmMain::mnuTools_ModInfoMaker_Click() {
    HWND list = drag_.lastList();
    const std::wstring name = list ? CurrentItemText(list) : std::wstring();
    if (name.empty()) {
        MsgBox(L"Please select a mod first", MB_OK);
        return;
    }
    windows_.Edit(game_, game_.PathOf(QualifiedName::Parse(name + lists_.ExtensionOf(list))), !Playing());
}

void frmMain::InformationSaved(const std::wstring& archivePath) {
    if (archivePath == panel_.shown()) {
        const std::wstring file = game_.NameOf(archivePath);
        const std::wstring extension(ExtensionOf(file));
        GetModInfo(ModNameOf(file, extension), extension);
    }
    if (frmLoadOrder* window = windows_.OpenLoadOrderWindow()) window->Rebuild(game_);
    coordinator_.Made(game_, L"Save", L"the old archive is in the Recycle Bin");
    // Our own change: no re-read for it.
    watcher_.Seen(StampEveryPlace(game_));
}

void frmMain::Form_DropFiles(HDROP drop) { Install(DroppedFiles(drop)); }

void frmMain::Install(const std::vector<std::wstring>& downloads) {
    if (downloads.empty()) return;
    if (Playing()) {
        MsgBox(L"The game is running and holds its archives. Tarrow installs nothing until it ends.",
               MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (game_.folder().empty()) {
        MsgBox(
            L"Tarrow does not know the game's folder yet. Choose it in File > Options, press Okay, then "
            L"\"Refresh Program\".",
            MB_OK | MB_ICONWARNING);
        return;
    }
    const std::vector<InstalledMod> installed = coordinator_.Install(game_, downloads);
    FindMods();
    if (installed.empty()) return;
    std::wstring name;
    if (HWND list = lists_.SelectFile(installed.front().file, name)) {
        drag_.SetLastList(list);
        GetModInfo(name, lists_.ExtensionOf(list));
    }
}

void frmMain::RemoveSelected(HWND list) {
    if (Playing() || !lists_.IsModList(list)) return;
    const std::wstring name = CurrentItemText(list);
    if (name.empty()) return;
    if (coordinator_.Remove(game_, name + lists_.ExtensionOf(list))) FindMods();
}

void frmMain::UpdateMenuItems(HMENU menu) {
    MainMenuState state;
    state.selected = drag_.lastList() && !CurrentItemText(drag_.lastList()).empty();
    state.playing = Playing();
    state.journalLeft = ChangeCoordinator::JournalLeft(game_);
    state.undo = coordinator_.history(game_).UndoItem();
    state.redo = coordinator_.history(game_).RedoItem();
    UpdateMainMenu(menu, state);
}

void frmMain::mnuEditUndo_Click() {
    if (coordinator_.Undo(game_)) FindMods();
}

void frmMain::mnuEditRedo_Click() {
    if (coordinator_.Redo(game_)) FindMods();
}

void frmMain::mnuEditForget_Click() {
    if (coordinator_.Forget(game_)) FindMods();
}

bool frmMain::ModExists(const std::wstring& fullPath) {
    if (!FileSystem::FileExists(fullPath)) return false;
    MsgBox(L"Error: " + fullPath + L" already exists", MB_OK);
    return true;
}

bool frmMain::ModRename(const std::wstring& modName, const std::wstring& fromExtension,
                        const std::wstring& toExtension) {
    if (ModExists(game_.PathOf(QualifiedName::Parse(modName + toExtension)))) return false;
    return coordinator_.Switch(game_, modName, fromExtension, toExtension);
}

void frmMain::cmdEnable_Click() {
    ModRename(CurrentItemText(c_.listDisabled), DisabledExtension, EnabledExtension);
    FindMods();
}

void frmMain::cmdDisable_Click() {
    ModRename(CurrentItemText(c_.listEnabled), EnabledExtension, DisabledExtension);
    FindMods();
}
