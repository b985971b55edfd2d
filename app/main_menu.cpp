#include "app/main_menu.h"

#include <utility>

HMENU CreateMainMenuBar() {
    using C = MainMenuCommands;
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
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
