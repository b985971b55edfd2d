#include "mods/history.h"

#include <windows.h>

#include <algorithm>

#include "core/errors.h"
#include "core/file_system.h"
#include "core/prompts.h"
#include "core/text.h"
#include "mods/mod_library.h"
#include "mods/placed_change.h"

namespace {

std::vector<ChangeStep> Reversed(const std::vector<ChangeStep>& renames) {
    std::vector<ChangeStep> back;
    for (auto step = renames.rbegin(); step != renames.rend(); ++step) back.push_back({step->to, step->from});
    return back;
}

// Why the renames cannot run on the folder as it is now, step by step (a
// later step may use a name that an earlier one frees); empty when they can.
std::wstring Obstacle(const Game& game, const std::vector<ChangeStep>& renames) {
    const std::wstring main = game.ArchiveFolder();
    // The names that the steps before have moved, compared as the file system compares them.
    std::vector<std::pair<std::wstring, bool>> moved;
    auto known = [&](const std::wstring& name) {
        return std::find_if(moved.begin(), moved.end(), [&](const auto& m) { return EqualNoCase(m.first, name); });
    };
    auto exists = [&](const std::wstring& name) {
        const auto at = known(name);
        return at != moved.end() ? at->second : FileSystem::Exists(game.PathOf(QualifiedName::Parse(name)));
    };
    auto set = [&](const std::wstring& name, bool present) {
        const auto at = known(name);
        if (at != moved.end()) {
            at->second = present;
        } else {
            moved.emplace_back(name, present);
        }
    };
    for (const ChangeStep& step : renames) {
        if (!exists(step.from)) return step.from + L" is no longer in " + FolderLabel(main) + L".";
        // A rename that changes only the letter case meets its own file.
        if (!EqualNoCase(step.from, step.to) && exists(step.to))
            return step.to + L" is in " + FolderLabel(main) + L" again.";
        set(step.from, false);
        set(step.to, true);
    }
    return {};
}

enum class Ran { Done, NotAllowed, Failed };

// Runs renames as a change; says why when they did not run.
Ran RunRenames(const Game& game, const std::wstring& verb, const std::wstring& name,
               const std::vector<ChangeStep>& renames, Prompts& prompts) {
    if (const std::wstring obstacle = Obstacle(game, renames); !obstacle.empty()) {
        prompts.Warn(L"Tarrow could not " + verb + L" " + name + L": " + obstacle + NothingWasChanged);
        return Ran::NotAllowed;
    }
    const ChangeOutcome outcome = RunPlacedChange(game, {verb + L"ing " + name, renames});
    if (outcome.result == ChangeResult::Done) return Ran::Done;
    prompts.Warn(outcome.Failure(L"Tarrow could not " + verb + L" " + name, NothingWasChanged));
    return Ran::Failed;
}

}  // namespace

void ChangeHistory::Push(Entry entry) {
    redo_.clear();
    // Nothing before a change that cannot be undone can be reached again.
    if (!entry.cannotUndo.empty()) undo_.clear();
    undo_.push_back(std::move(entry));
    if (undo_.size() > kLimit) undo_.erase(undo_.begin());
}

void ChangeHistory::RecordRenames(const std::wstring& name, std::vector<ChangeStep> renames) {
    Push({name, {}, std::move(renames), std::nullopt});
}

void ChangeHistory::RecordInstall(const InstalledMod& mod) { Push({L"Install " + mod.file, {}, {}, mod}); }

void ChangeHistory::RecordFixed(const std::wstring& name, const std::wstring& why) {
    Push({name, why, {}, std::nullopt});
}

ChangeHistory::MenuItem ChangeHistory::UndoItem() const {
    if (undo_.empty()) return {L"&Undo\tCtrl+Z", false};
    const Entry& last = undo_.back();
    if (!last.cannotUndo.empty()) return {L"Can't Undo " + last.name + L": " + last.cannotUndo, false};
    return {L"&Undo " + last.name + L"\tCtrl+Z", true};
}

ChangeHistory::MenuItem ChangeHistory::RedoItem() const {
    if (redo_.empty()) return {L"&Redo\tCtrl+Y", false};
    return {L"&Redo " + redo_.back().name + L"\tCtrl+Y", true};
}

bool ChangeHistory::Undo(const Game& game, Prompts& prompts) {
    if (!UndoItem().enabled) return false;
    const std::wstring main = game.ArchiveFolder();
    Entry entry = undo_.back();
    bool undone = false;
    if (entry.install) {
        const std::wstring& file = entry.install->file;
        if (!FileSystem::Exists(main + file)) {
            prompts.Warn(L"Tarrow could not undo " + entry.name + L": " + file + L" is no longer in " +
                         FolderLabel(main) + L"." + NothingWasChanged);
            undo_.pop_back();
            return false;
        }
        if (!prompts.AskYesNo(L"Move " + file + L" to the Recycle Bin?")) return false;
        const ChangeOutcome outcome = RunPlacedChange(game, {L"undoing " + entry.name, {RecycleStep(file)}});
        undone = outcome.result == ChangeResult::Done && !outcome.kept;
        if (!outcome.message.empty() || (!undone && !outcome.kept)) {
            prompts.Warn(outcome.Failure(L"Tarrow could not undo " + entry.name));
        } else if (outcome.kept) {
            prompts.Warn(outcome.KeptSentence(L"Tarrow could not move " + file + L" to the Recycle Bin."));
        }
    } else {
        const Ran ran = RunRenames(game, L"undo", entry.name, Reversed(entry.renames), prompts);
        // The folder no longer allows it: the change goes, and the older ones stay reachable.
        if (ran == Ran::NotAllowed) undo_.pop_back();
        undone = ran == Ran::Done;
    }
    if (!undone) return false;
    undo_.pop_back();
    redo_.push_back(std::move(entry));
    return true;
}

bool ChangeHistory::Redo(const Game& game, Prompts& prompts) {
    if (redo_.empty()) return false;
    Entry entry = redo_.back();
    if (entry.install) {
        // The installer says why not; the download may come back, so the redo stays.
        if (!InstallAgain(game, *entry.install, prompts)) return false;
    } else {
        const Ran ran = RunRenames(game, L"redo", entry.name, entry.renames, prompts);
        if (ran == Ran::NotAllowed) redo_.pop_back();
        if (ran != Ran::Done) return false;
    }
    redo_.pop_back();
    undo_.push_back(std::move(entry));
    return true;
}
