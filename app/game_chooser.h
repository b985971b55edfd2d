#pragma once
// File > Game: the games Tarrow knows on this machine as the menu opens, the
// choice of one, a folder added by hand, and the Options of a game other than
// the demo, whose folder is kept under Tarrow's own key.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/options_dialog.h"
#include "games/catalog.h"

class GameChooser {
public:
    // Told the game the player chose.
    using Choose = std::function<void(const Game&)>;

    void Attach(HWND owner, Choose choose) {
        owner_ = owner;
        choose_ = std::move(choose);
    }
    // Lists the games in the submenu, the present one checked.
    void Fill(HMENU submenu, const Game& present, const std::wstring& demoFolder);
    // The player chose a command of the list; false when it is none of its.
    bool Chosen(int command, int first);
    // Picks a folder, recognises its game, keeps it and chooses it.
    void AddFolder();
    // What Options shows and keeps for a game other than the demo.
    frmOptions::OtherGame OptionsOf(const Game& game);

private:
    HWND owner_ = nullptr;
    Choose choose_;
    std::vector<KnownGame> known_;  // as the menu lists them
};
