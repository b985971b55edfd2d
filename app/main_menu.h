#pragma once
// The main window's menu bar and the state of its items.
#include <windows.h>

#include <string>
#include <vector>

#include "mods/history.h"

struct MainMenuCommands {
    enum MenuCommand : int {
        mnuFileOptions = 100,
        mnuFileExit,
        mnuTools_ModInfoMaker,
        mnuAboutAbout,
        mnuAboutChanges,
        mnuToolsLoadOrder,
        mnuToolsInstall,
        mnuToolsRemove,
        mnuEditUndo,
        mnuEditRedo,
        mnuToolsModSets,
        mnuToolsPlay,
        mnuToolsChooseProgram,
        mnuEditForget,
        mnuToolsMaps,
        mnuToolsFiles,
        mnuFileAddGame,
        // File > Game: one command per game the menu lists, from this one on.
        mnuFileGameFirst = 1000,
        mnuFileGameLast = 1999,
    };
};

HMENU CreateMainMenuBar();
// The File > Game submenu of a menu bar.
HMENU GameSubmenu(HMENU bar);
// Lists the games, each "<game> (<folder>)", the present one checked, above "Add Game Folder...".
// The line File > Game shows while Tarrow looks for the games on this machine.
inline constexpr wchar_t LookingForGames[] = L"Looking for games...";
void FillGameMenu(HMENU submenu, const std::vector<std::wstring>& games, int present, bool looking = false);

// What the items' state follows.
struct MainMenuState {
    bool selected = false;     // the list used last has a mod selected
    bool playing = false;      // the game runs and holds its archives
    bool journalLeft = false;  // the archive folder holds the journal of a change that could not be put right
    ChangeHistory::MenuItem undo, redo;
};
// Greys, brings back and names the items of a menu that is about to open.
void UpdateMainMenu(HMENU menu, MainMenuState state);
