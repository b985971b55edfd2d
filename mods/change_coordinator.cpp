#include "mods/change_coordinator.h"

#include <windows.h>

#include "core/errors.h"
#include "core/prompts.h"
#include "mods/installer.h"
#include "mods/mod_library.h"
#include "mods/placed_change.h"

bool ChangeCoordinator::Run(const Game& game, const ChangePlan& plan, const std::wstring& historyName,
                            const std::wstring& cannotUndo) {
    const ChangeOutcome outcome = RunPlacedChange(game, plan);
    if (outcome.result != ChangeResult::Done || !outcome.message.empty()) {
        prompts_.Warn(outcome.Failure(L"Tarrow could not finish " + plan.what, NothingWasChanged));
        return false;
    }
    // The change was made; only the bin kept a file where it was, and says where.
    if (outcome.kept) prompts_.Warn(outcome.KeptSentence(L"The Recycle Bin did not take the archive."));
    if (cannotUndo.empty()) {
        history(game).RecordRenames(historyName, plan.steps);
    } else {
        history(game).RecordFixed(historyName, cannotUndo);
    }
    Follow(plan.steps);
    return true;
}

ChangeOutcome ChangeCoordinator::Apply(const Game& game, const ChangePlan& plan) { return RunPlacedChange(game, plan); }

void ChangeCoordinator::Made(const Game& game, const std::wstring& historyName, const std::wstring& cannotUndo) {
    history(game).RecordFixed(historyName, cannotUndo);
}

bool ChangeCoordinator::Switch(const Game& game, const std::wstring& modName, const std::wstring& from,
                               const std::wstring& to) {
    const bool disabling = to == std::wstring(DisabledExtension);
    const std::vector<ChangeStep> renames{{modName + from, modName + to}};
    const ChangeOutcome outcome =
        RunPlacedChange(game, {(disabling ? L"disabling " : L"enabling ") + modName, renames});
    // A mod whose archive is not there (gone since the lists were read, or
    // named "a.pk3.pk3", which the lists show as "a") is said, not skipped;
    // a button pressed with nothing selected only refreshes.
    const bool missing = outcome.result == ChangeResult::NoSource && !modName.empty();
    if (!outcome.message.empty() || outcome.result == ChangeResult::Failed || missing) {
        const std::wstring file = QualifiedName::Parse(modName).file;
        prompts_.Warn(outcome.Failure(L"Error: could not rename " + game.PathOf(QualifiedName::Parse(modName + from)) +
                                      L" to " + file + to));
        return false;
    }
    if (outcome.result == ChangeResult::Done)
        history(game).RecordRenames((disabling ? L"Disable " : L"Enable ") + modName, renames);
    return true;
}

std::vector<InstalledMod> ChangeCoordinator::Install(const Game& game, const std::vector<std::wstring>& downloads) {
    std::vector<InstalledMod> installed = InstallMods(game, downloads, prompts_);
    for (const InstalledMod& mod : installed) {
        if (mod.replaced) {
            history(game).RecordFixed(L"Replace", L"the old archive is in the Recycle Bin");
        } else {
            history(game).RecordInstall(mod);
        }
    }
    return installed;
}

bool ChangeCoordinator::Remove(const Game& game, const std::wstring& file) {
    const std::optional<Game> where = game.Where(QualifiedName::Parse(file));
    if (!where || !RemoveMod(*where, QualifiedName::Parse(file).file, prompts_)) return false;
    history(game).RecordFixed(L"Remove", L"the archive is in the Recycle Bin");
    return true;
}

void ChangeCoordinator::Recover(const Game& game) {
    std::vector<std::wstring> folders;
    for (const Game::Place& place : game.Places()) {
        if (place.changeable && (place.managed || place.Exists())) {
            RecoverPlace(*game.Where(place.Name({})));
            folders.push_back(place.folder);
        }
    }
    ForgetFinishedGroups(GroupRecordFolder(game), folders);
}

void ChangeCoordinator::RecoverPlace(const Game& game) {
    const std::wstring folder = game.ArchiveFolder();
    const RecoveryOutcome outcome = RecoverChange(folder, GroupRecordFolder(game));
    const std::wstring message = RecoveryMessage(outcome);
    if (!message.empty()) prompts_.Tell(message, MB_OK | (outcome.stuck.empty() ? MB_ICONINFORMATION : MB_ICONWARNING));
    if (!outcome.stuck.empty()) return;
    const std::vector<LeftFile> left = LeftTemporaryFiles(folder);
    if (left.empty() || !prompts_.AskYesNo(LeftFilesQuestion(folder, left))) return;
    const std::vector<std::wstring> stayed = RecycleLeftFiles(folder, left);
    if (stayed.empty()) return;
    std::wstring text = L"These files stay in " + game.ArchiveFolderName() + L":\r\n";
    for (const auto& line : stayed) text += L"\r\n" + line;
    prompts_.Warn(text);
}

std::optional<Game> ChangeCoordinator::HeldPlace(const Game& game) {
    if (game.folder().empty()) return std::nullopt;
    for (const Game::Place& place : game.Places()) {
        if (place.changeable && HasLeftJournal(place.folder)) return game.Where(place.Name({}));
    }
    return std::nullopt;
}

bool ChangeCoordinator::Forget(const Game& managed) {
    const std::optional<Game> held = HeldPlace(managed);
    if (!held) return false;
    const Game& game = *held;
    const std::wstring folder = game.ArchiveFolder();
    if (!prompts_.AskYesNo(L"Forget the change that Tarrow could not put right? Its journal is set aside, and " +
                           game.ArchiveFolderName() + L" stays as it is now: Tarrow renames nothing back.")) {
        return false;
    }
    unsigned long error = 0;
    const std::wstring name = ForgetChange(folder, error);
    if (name.empty()) {
        prompts_.Warn(L"Tarrow could not set the journal aside: " + SystemMessage(error));
        return false;
    }
    prompts_.Tell(L"The change is forgotten. Its journal is now " + game.ArchiveFolderName() + L"\\" + name + L".",
                  MB_OK | MB_ICONINFORMATION);
    return true;
}

bool ChangeCoordinator::Undo(const Game& game) { return history(game).Undo(game, prompts_); }
bool ChangeCoordinator::Redo(const Game& game) { return history(game).Redo(game, prompts_); }
