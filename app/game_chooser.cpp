#include "app/game_chooser.h"

#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "app/main_menu.h"
#include "core/errors.h"
#include "ui/prompts.h"

namespace {

void SayNotKept(const std::wstring& lead, long error) {
    MsgBox(lead + SystemMessage(static_cast<DWORD>(error)), MB_OK | MB_ICONWARNING);
}

}  // namespace

namespace {

struct Discovery {
    unsigned number;
    std::vector<KnownGame> games;
};

}  // namespace

void GameChooser::Discover(const std::wstring& demoFolder) {
    demoFolder_ = demoFolder;
    const unsigned number = ++discovery_;
    discovering_ = true;
    const HWND owner = owner_;
    // A Steam library on an offline network drive answers after the network's
    // timeout: the window goes on meanwhile.
    std::thread([owner, demoFolder, number] {
        auto found = std::make_unique<Discovery>(Discovery{number, {}});
        try {
            found->games = FindKnownGames(demoFolder);
        } catch (...) {
            found->games.clear();
        }
        // Once posted, the window owns the result.
        if (PostMessageW(owner, FoundMessage, 0, reinterpret_cast<LPARAM>(found.get())))
            static_cast<void>(found.release());
    }).detach();
}

void GameChooser::Found(LPARAM result) {
    const std::unique_ptr<Discovery> found(reinterpret_cast<Discovery*>(result));
    // An older discovery's answer, overtaken by a newer one.
    if (!found || found->number != discovery_) return;
    found_ = std::move(found->games);
    discovering_ = false;
}

void GameChooser::Fill(HMENU submenu, const Game& present) {
    known_ = found_;
    const bool listed =
        std::any_of(known_.begin(), known_.end(), [&](const KnownGame& k) { return k.game == present; });
    if (discovering_ && !listed && !present.folder().empty()) known_.insert(known_.begin(), {present, L"", {}});
    std::vector<std::wstring> texts;
    int checked = -1;
    for (const KnownGame& known : known_) {
        if (known.game == present) checked = static_cast<int>(texts.size());
        texts.push_back(KnownGameText(known));
    }
    FillGameMenu(submenu, texts, checked, discovering_);
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
    Discover(demoFolder_);
    choose_(games.front());
}

frmOptions::OtherGame GameChooser::OptionsOf(const Game& game) {
    const GameProfile& profile = game.profile();
    return {std::wstring(profile.name), game.folder(), [this, &profile](const std::wstring& folder) {
                if (const long error = KeepGameFolder(profile, folder)) {
                    SayNotKept(L"The folder \"" + folder + L"\" could not be stored: ", error);
                    return false;
                }
                Discover(demoFolder_);
                choose_(Game(profile, folder));
                return true;
            }};
}
