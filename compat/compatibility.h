#pragma once
// ctlCompatibility: the Compatibility page. The user picks one enabled mod and
// gets every file that it shares with another enabled mod at the same path.
#include <windows.h>

#include "compat/conflicts.h"
#include "ui/layout.h"
#include "games/game.h"
#include "ui/window_base.h"

class ctlCompatibility : public WindowBase<ctlCompatibility> {
public:
    enum ControlId : int {
        IdLabel = 100,
        IdList = 101,
        IdCheck = 102,
        IdOutput = 103,
        IdProgress = 104,
        IdIdentical = 105
    };
    struct Controls {
        HWND lblEnabled = nullptr, listEnabled = nullptr, cmdCheck = nullptr;
        HWND lblConflicts = nullptr, txtOutput = nullptr, ProgressBar1 = nullptr;
        HWND lblIdentical = nullptr;  // shown under the count only when some conflicts are identical copies
    };

    ctlCompatibility() = default;
    ctlCompatibility(const ctlCompatibility&) = delete;
    ctlCompatibility& operator=(const ctlCompatibility&) = delete;

    // Creates the panel inside a page.
    void Create(HWND page, int left, int top, int width, int height);
    const Controls& controls() const { return c_; }
    const WorkLists& lists() const { return lists_; }

    // Shows the main window's enabled mods of its game, in its order; no item
    // is selected afterwards.
    void RefreshList(const Game& game, const std::vector<std::wstring>& enabledMods);

private:
    friend class WindowBase<ctlCompatibility>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void cmdCheck_Click();
    void Check(int count, int selected);
    std::wstring ItemText(int index) const;
    // The line of identical copies under the count, and the report below it; none for the empty text.
    void ShowIdentical(const std::wstring& line);

    Controls c_;
    Layout layout_;
    WorkLists lists_;
    Game game_ = DemoGame({});
    std::wstring identical_;
};
