#include "app/main_menu.h"

#include <algorithm>
#include <utility>

HMENU CreateMainMenuBar() {
    using C = MainMenuCommands;
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU games = CreatePopupMenu();
    AppendMenuW(games, MF_STRING, C::mnuFileAddGame, L"Add Game Folder...");
    AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(games), L"Game");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, C::mnuFileOptions, L"Options");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, C::mnuFileExit, L"&Exit");
    HMENU edit = CreatePopupMenu();
    AppendMenuW(edit, MF_STRING | MF_GRAYED, C::mnuEditUndo, L"&Undo\tCtrl+Z");
    AppendMenuW(edit, MF_STRING | MF_GRAYED, C::mnuEditRedo, L"&Redo\tCtrl+Y");
    AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
    // Greyed while main holds no journal of a change that could not be put right.
    AppendMenuW(edit, MF_STRING | MF_GRAYED, C::mnuEditForget, L"Forget this change");
    HMENU tools = CreatePopupMenu();
    AppendMenuW(tools, MF_STRING, C::mnuToolsLoadOrder, L"Load Order");
    AppendMenuW(tools, MF_STRING, C::mnuToolsMaps, L"Maps");
    AppendMenuW(tools, MF_STRING, C::mnuToolsFiles, L"Files");
    AppendMenuW(tools, MF_STRING, C::mnuToolsModSets, L"Mod Sets...");
    AppendMenuW(tools, MF_STRING, C::mnuToolsInstall, L"Install Mods...");
    // Greyed while the list used last has no mod selected.
    AppendMenuW(tools, MF_STRING | MF_GRAYED, C::mnuToolsRemove, L"Remove Mod");
    AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(tools, MF_STRING, C::mnuTools_ModInfoMaker, L"Mod Info Editor");
    AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(tools, MF_STRING, C::mnuToolsPlay, L"&Play\tF5");
    AppendMenuW(tools, MF_STRING, C::mnuToolsChooseProgram, L"Choose Game Program...");
    HMENU about = CreatePopupMenu();
    AppendMenuW(about, MF_STRING, C::mnuAboutAbout, L"About");
    AppendMenuW(about, MF_STRING, C::mnuAboutChanges, L"Changes");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"&Edit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"Tools");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(about), L"About");
    return bar;
}

void UpdateMainMenu(HMENU menu, MainMenuState state) {
    using C = MainMenuCommands;
    const bool playing = state.playing;
    EnableMenuItem(menu, C::mnuToolsRemove, MF_BYCOMMAND | (state.selected && !playing ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, C::mnuToolsInstall, MF_BYCOMMAND | (playing ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu, C::mnuToolsChooseProgram, MF_BYCOMMAND | (playing ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu, C::mnuEditForget, MF_BYCOMMAND | (state.journalLeft && !playing ? MF_ENABLED : MF_GRAYED));
    if (playing) state.undo.enabled = state.redo.enabled = false;
    const std::pair<int, ChangeHistory::MenuItem> items[] = {
        {C::mnuEditUndo, state.undo},
        {C::mnuEditRedo, state.redo},
        {C::mnuToolsPlay,
         playing ? ChangeHistory::MenuItem{L"Playing...", false} : ChangeHistory::MenuItem{L"&Play\tF5", true}}};
    for (const auto& [id, item] : items) {
        if (GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND) == static_cast<UINT>(-1)) continue;
        ModifyMenuW(menu, static_cast<UINT>(id), MF_BYCOMMAND | MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED),
                    static_cast<UINT_PTR>(id), item.text.c_str());
    }
}

HMENU GameSubmenu(HMENU bar) { return GetSubMenu(GetSubMenu(bar, 0), 0); }

void FillGameMenu(HMENU submenu, const std::vector<std::wstring>& games, int present, bool looking) {
    using C = MainMenuCommands;
    while (GetMenuItemCount(submenu) > 0) DeleteMenu(submenu, 0, MF_BYPOSITION);
    const int shown = std::min<int>(static_cast<int>(games.size()), C::mnuFileGameLast - C::mnuFileGameFirst + 1);
    for (int i = 0; i < shown; ++i) {
        // A folder's "&" is a character, not a mnemonic.
        std::wstring text;
        for (const wchar_t c : games[static_cast<size_t>(i)])
            text += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
        AppendMenuW(submenu, MF_STRING | (i == present ? MF_CHECKED : 0),
                    static_cast<UINT_PTR>(C::mnuFileGameFirst) + static_cast<UINT_PTR>(i), text.c_str());
    }
    if (looking) AppendMenuW(submenu, MF_STRING | MF_GRAYED, 0, LookingForGames);
    if (shown > 0 || looking) AppendMenuW(submenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(submenu, MF_STRING, C::mnuFileAddGame, L"Add Game Folder...");
}
