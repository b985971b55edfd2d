#pragma once
// The Manager's information panel: the tarrow.ini of the mod selected last,
// as rich text, or a notice that there is none.
#include <windows.h>

#include <string>
#include <vector>

#include "core/transaction.h"
#include "games/game.h"

class InfoPanel {
public:
    // The panel's control; it shows that no mod is selected yet.
    void Attach(HWND richEdit);
    // Shows the information of the archive folder + modName + extension.
    void Show(const std::wstring& folder, const std::wstring& modName, const std::wstring& extension);
    // The archive whose information the panel shows; empty when none.
    const std::wstring& shown() const { return shown_; }
    // The archive was renamed by a change of ours: the panel goes with it.
    void Renamed(const Game& game, const std::vector<ChangeStep>& renames);
    // The archive is gone from the folder: the panel shows that no mod is selected.
    void ForgetIfGone();
    // Another game: no mod is selected.
    void Clear();

private:
    void ShowNotSelected();

    HWND rtf_ = nullptr;
    std::wstring shown_;
};
