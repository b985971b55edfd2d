#pragma once
// File > Game: the games Tarrow knows on this machine, looked for in the
// background at start and on Refresh so that the menu never waits for a slow
// drive; the choice of one, a folder added by hand, and the Options of a game
// other than the demo, whose folder is kept under Tarrow's own key.
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
    // Looks for the games on this machine on a thread of its own; the window
    // hands the result to Found when FoundMessage arrives.
    void Discover(const std::wstring& demoFolder);
    static constexpr UINT FoundMessage = WM_APP + 3;
    void Found(LPARAM result);
    // Lists the games found in the submenu, the present one checked; while
    // they are looked for, the present game and a line that says so.
    void Fill(HMENU submenu, const Game& present);
    // The player chose a command of the list; false when it is none of its.
    bool Chosen(int command, int first);
    // Picks a folder, recognises its game, keeps it and chooses it.
    void AddFolder();
    // What Options shows and keeps for a game other than the demo.
    frmOptions::OtherGame OptionsOf(const Game& game);

private:
    HWND owner_ = nullptr;
    Choose choose_;
    std::vector<KnownGame> found_;  // by the last discovery
    std::vector<KnownGame> known_;  // as the menu lists them
    std::wstring demoFolder_;
    unsigned discovery_ = 0;  // the discovery whose result counts
    bool discovering_ = false;
};
