#pragma once
// The changes of this run that Edit > Undo takes back and Redo makes again.
// Renames and installs of new mods can be undone; what went to the Recycle
// Bin stays there, so a remove, a replace or a save cannot. The history is
// kept in memory for the run and never written anywhere.
#include <optional>
#include <string>
#include <vector>

#include "core/transaction.h"
#include "mods/installer.h"

class ChangeHistory {
public:
    static constexpr size_t kLimit = 50;

    // A change of renames in main, named for the menu: "Disable sniper".
    void RecordRenames(const std::wstring& name, std::vector<ChangeStep> renames);
    void RecordInstall(const InstalledMod& mod);
    // A change that cannot be undone here, and why: "the archive is in the Recycle Bin".
    void RecordFixed(const std::wstring& name, const std::wstring& why);

    struct MenuItem {
        std::wstring text;
        bool enabled = false;
    };
    MenuItem UndoItem() const;
    MenuItem RedoItem() const;

    // Takes back the last change, or makes the last undone one again, as a
    // change of its own; says why not, and asks, through the prompts. A change that the
    // folder no longer allows (a mod gone from outside) changes nothing and
    // leaves the history. True when main changed.
    bool Undo(const Game& game, Prompts& prompts);
    bool Redo(const Game& game, Prompts& prompts);

private:
    struct Entry {
        std::wstring name;
        std::wstring cannotUndo;
        std::vector<ChangeStep> renames;
        std::optional<InstalledMod> install;
    };
    void Push(Entry entry);

    std::vector<Entry> undo_, redo_;
};
