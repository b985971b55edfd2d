#pragma once
// frmModSets: the named sets of enabled mods of the Manager's folder, saved,
// switched to, renamed, deleted, exported and imported. Modeless, once, beside
// the main window.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/modeless_window.h"
#include "core/transaction.h"
#include "mods/mod_sets.h"

class frmModSets : public ModelessWindow<frmModSets> {
public:
    enum ControlId : int {
        IdLabel = 100,
        IdSets,
        IdSave,
        IdSwitch,
        IdRename,
        IdDelete,
        IdExport,
        IdImport,
        IdShortcut
    };
    struct Controls {
        HWND lvSets = nullptr;
        HWND cmdSave = nullptr, cmdSwitch = nullptr, cmdRename = nullptr, cmdDelete = nullptr, cmdExport = nullptr,
             cmdImport = nullptr, cmdClose = nullptr, cmdShortcut = nullptr;
    };

    explicit frmModSets(ChangeRunner run = {}) : run_(std::move(run)) {}
    ~frmModSets();
    frmModSets(const frmModSets&) = delete;
    frmModSets& operator=(const frmModSets&) = delete;

    void Load(const Game& game, HWND beside = nullptr);
    // Shows the sets of another game.
    void Follow(const Game& game);
    const Controls& controls() const { return c_; }
    const std::vector<ModSet>& sets() const { return sets_; }
    // While the game runs it holds its archives: no switch then.
    void SetWritable(bool writable) { EnableWindow(c_.cmdSwitch, writable); }

private:
    friend class WindowBase<frmModSets>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    // Reads the sets again; names what was skipped when told to.
    void Fill(bool sayWhatWasSkipped);
    int Selected() const;
    // Asks for a name that no other set has, starting from proposal; empty when the player cancels.
    std::wstring AskName(const std::wstring& title, const std::wstring& proposal, const std::wstring& except = {});
    std::vector<std::wstring> FilesOfPlaces() const;
    void cmdSave_Click();
    void cmdSwitch_Click();
    void cmdRename_Click();
    void cmdDelete_Click();
    void cmdExport_Click();
    void cmdImport_Click();
    // A shortcut on the desktop that switches to the set and starts the game.
    void cmdShortcut_Click();

    ChangeRunner run_;
    Controls c_;
    Layout layout_;
    Game game_ = DemoGame({});
    std::vector<ModSet> sets_;
    std::wstring cell_;
};
