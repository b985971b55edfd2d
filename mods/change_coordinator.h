#pragma once
// The one place where a change asked for by any window of ours is run: under
// the journal of the game's archive folder, kept for Undo, and followed by
// every window. It tells the player what went wrong, and asks, through the
// prompts its owner hands it; it has no window.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/prompts.h"
#include "core/transaction.h"
#include "games/game.h"
#include "mods/history.h"

class ChangeCoordinator {
public:
    // Told after every change that was made, with its renames, so that the
    // windows read the folder again and keep their selections.
    using Follower = std::function<void(const std::vector<ChangeStep>& renames)>;

    explicit ChangeCoordinator(Prompts& prompts, Follower follow = {})
        : prompts_(prompts), follow_(std::move(follow)) {}

    // Runs a plan; keeps it for Undo under historyName (or, when cannotUndo is
    // given, as a change that cannot be undone). True when it was made whole.
    bool Run(const Game& game, const ChangePlan& plan, const std::wstring& historyName,
             const std::wstring& cannotUndo = {});
    // Runs a plan whose outcome its caller words itself (a save that replaces
    // an archive); the caller tells the windows and keeps it for Undo with Made.
    ChangeOutcome Apply(const Game& game, const ChangePlan& plan);
    // A change of this run made elsewhere (an install, a remove, a save): kept
    // for Undo.
    void Made(const Game& game, const std::wstring& historyName, const std::wstring& cannotUndo);

    // Enables or disables a mod by renaming modName + from to modName + to.
    // False, after saying why, when the rename failed; a source that is not
    // there has nothing to move and is no failure.
    bool Switch(const Game& game, const std::wstring& modName, const std::wstring& from, const std::wstring& to);
    // Installs downloads, each kept for Undo; the mods installed.
    std::vector<InstalledMod> Install(const Game& game, const std::vector<std::wstring>& downloads);
    // Moves an archive to the Recycle Bin after asking; true when it went.
    bool Remove(const Game& game, const std::wstring& file);

    // Puts right a change that a stopped Tarrow left in each place of the
    // game that Tarrow changes, and says so; then offers the partial copies it left to the Recycle Bin.
    void Recover(const Game& game);
    // Sets aside the journal of a change that could not be put right, after a
    // question; true when it was.
    bool Forget(const Game& game);
    // Whether a place of the game holds such a journal.
    static bool JournalLeft(const Game& game) { return HeldPlace(game).has_value(); }

    bool Undo(const Game& game);
    bool Redo(const Game& game);
    // The changes of this run in the game's archive folder.
    ChangeHistory& history(const Game& game) { return histories_[game.ArchiveFolder()]; }

private:
    // The first place of the game that holds a journal no Tarrow could put right.
    static std::optional<Game> HeldPlace(const Game& game);
    // Recovery in one place of the game, seen as its archive folder.
    void RecoverPlace(const Game& game);
    void Follow(const std::vector<ChangeStep>& renames) const {
        if (follow_) follow_(renames);
    }

    Prompts& prompts_;
    Follower follow_;
    // By archive folder: each game's Undo takes back only its own changes.
    std::map<std::wstring, ChangeHistory> histories_;
};
