#include "app/companion_windows.h"

#include "maps/map_needs.h"

#include "ui/prompts.h"

void CompanionWindows::OpenOptions(std::optional<frmOptions::OtherGame> other) {
    if (Reopen(options_, [&] { return std::make_unique<frmOptions>(std::move(other)); })) options_->Load();
}

void CompanionWindows::OpenLoadOrder(const Game& game, bool writable) {
    if (!Reopen(loadOrder_, [this] { return std::make_unique<frmLoadOrder>(context_.run, MapNeedProblems); })) return;
    loadOrder_->Load(game, context_.beside);
    loadOrder_->SetWritable(writable);
}

void CompanionWindows::OpenModSets(const Game& game, bool writable) {
    if (!Reopen(modSets_, [this] { return std::make_unique<frmModSets>(context_.run); })) return;
    modSets_->Load(game, context_.beside);
    modSets_->SetWritable(writable);
}

bool CompanionWindows::OpenMaps(const Game& game, bool writable) {
    if (!Reopen(maps_, [this] { return std::make_unique<frmMaps>(context_.play, context_.run); })) return false;
    maps_->Load(game, context_.beside);
    maps_->SetWritable(writable);
    return true;
}

void CompanionWindows::OpenFiles(const Game& game) {
    if (!Reopen(files_, [this] { return std::make_unique<frmFiles>(context_.showInLoadOrder); })) return;
    files_->Load(game, context_.beside);
}

void CompanionWindows::Edit(const Game& game, const std::wstring& archive, bool writable) {
    if (!editor_) editor_ = std::make_unique<frmModInfoEditor>(context_.saved, context_.apply);
    editor_->Edit(game, archive, context_.beside);
    editor_->SetWritable(writable);
}

void CompanionWindows::Follow(const Game& game) {
    if (frmLoadOrder* window = OpenLoadOrderWindow()) window->Rebuild(game);
    if (frmMaps* window = OpenMapsWindow()) window->Rebuild(game);
    if (frmFiles* window = Shown(files_)) window->Rebuild(game);
}

void CompanionWindows::SetWritable(bool writable) {
    if (frmLoadOrder* window = OpenLoadOrderWindow()) window->SetWritable(writable);
    if (frmModSets* window = Shown(modSets_)) window->SetWritable(writable);
    if (frmModInfoEditor* window = Shown(editor_)) window->SetWritable(writable);
    if (frmMaps* window = OpenMapsWindow()) window->SetWritable(writable);
}

void CompanionWindows::Unload(const Game& game) {
    if (about_) about_->Unload();
    if (changes_) changes_->Unload();
    if (options_) options_->Unload();
    if (loadOrder_) loadOrder_->Unload();
    if (modSets_) modSets_->Unload();
    if (maps_) maps_->Unload();
    if (files_) files_->Unload();
    if (editor_ && editor_->Dirty() &&
        MsgBox(L"Save the changes to the information of " + game.NameOf(editor_->archive()) + L" before Tarrow closes?",
               MB_YESNO | MB_ICONQUESTION) == IDYES) {
        editor_->Save();
    }
    if (editor_) editor_->Unload();
}
