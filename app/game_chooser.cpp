#include "app/game_chooser.h"

#include <shlobj.h>

#include "app/main_menu.h"
#include "core/errors.h"
#include "core/prompts.h"

namespace {

void SayNotKept(const std::wstring& lead, long error) {
    MsgBox(lead + SystemMessage(static_cast<DWORD>(error)), MB_OK | MB_ICONWARNING);
}

}  // namespace

void GameChooser::Fill(HMENU submenu, const Game& present, const std::wstring& demoFolder) {
    known_ = FindKnownGames(demoFolder);
    std::vector<std::wstring> texts;
    int checked = -1;
    for (const KnownGame& known : known_) {
        if (known.game == present) checked = static_cast<int>(texts.size());
        texts.push_back(KnownGameText(known));
    }
    FillGameMenu(submenu, texts, checked);
}

bool GameChooser::Chosen(int command, int first) {
    if (command < first || command - first >= static_cast<int>(known_.size())) return false;
    // A copy: the list is filled anew when the menu opens again.
    const Game game = known_[static_cast<size_t>(command - first)].game;
    choose_(game);
    return true;
}

void GameChooser::AddFolder() {
    const auto folder = CurrentPrompts().BrowseForFolder(owner_, L"Add Game Folder", BIF_RETURNONLYFSDIRS);
    if (!folder) return;
    const std::vector<Game> games = RecognizeGames(*folder);
    if (games.empty()) {
        MsgBox(L"Tarrow found no game in " + *folder + L". " + WhatGamesLookLike(), MB_OK | MB_ICONWARNING);
        return;
    }
    for (const Game& game : games) {
        if (const long error = KeepAddedGame(game)) SayNotKept(L"Tarrow could not keep the folder: ", error);
    }
    choose_(games.front());
}

frmOptions::OtherGame GameChooser::OptionsOf(const Game& game) {
    const GameProfile& profile = game.profile();
    return {std::wstring(profile.name), game.folder(), [this, &profile](const std::wstring& folder) {
                if (const long error = KeepGameFolder(profile, folder)) {
                    SayNotKept(L"The folder \"" + folder + L"\" could not be stored: ", error);
                    return false;
                }
                choose_(Game(profile, folder));
                return true;
            }};
}
