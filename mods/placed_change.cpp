#include "mods/placed_change.h"

#include <algorithm>

namespace {

struct PlaceSteps {
    std::wstring label;
    ChangePlan plan;
    bool recycles = false;
};

// The name a step is known by in its place.
const std::wstring& Named(const ChangeStep& step) { return step.from.empty() ? step.to : step.from; }

ChangeOutcome Refused(const std::wstring& why) {
    ChangeOutcome outcome;
    outcome.result = ChangeResult::Refused;
    outcome.message = why;
    return outcome;
}

// Renaming or removing one of the game's own archives breaks the game (or
// its other program): whatever a window planned, that never runs. Enabling a
// disabled own archive gives the game its file back and may run.
const ChangeStep* TakesOwnArchive(const Game& game, const ChangePlan& plan) {
    for (const ChangeStep& step : plan.steps) {
        const bool takes = step.kind == StepKind::Rename || step.kind == StepKind::Recycle;
        if (takes && game.IsOwnArchiveFile(step.from)) return &step;
        if (step.kind == StepKind::Write && game.IsOwnArchiveFile(step.to)) return &step;
    }
    return nullptr;
}

}  // namespace

ChangeOutcome RunPlacedChange(const Game& game, const ChangePlan& plan) {
    if (const ChangeStep* own = TakesOwnArchive(game, plan)) {
        const std::wstring& name = own->kind == StepKind::Write ? own->to : own->from;
        return Refused(name + L" is the game's own archive. Tarrow never renames, replaces or removes it.");
    }
    std::vector<PlaceSteps> places;
    for (const ChangeStep& step : plan.steps) {
        const std::wstring label = QualifiedName::Parse(Named(step)).place;
        if (step.kind == StepKind::Rename && QualifiedName::Parse(step.to).place != label) {
            return Refused(L"Tarrow cannot move " + step.from + L" to another folder by renaming it.");
        }
        auto place = std::find_if(places.begin(), places.end(), [&](const PlaceSteps& p) { return p.label == label; });
        if (place == places.end()) place = places.insert(places.end(), {label, {plan.what, {}}, false});
        ChangeStep local = step;
        if (!local.from.empty()) local.from = QualifiedName::Parse(local.from).file;
        if (!local.to.empty()) local.to = QualifiedName::Parse(local.to).file;
        place->plan.steps.push_back(std::move(local));
        place->recycles = place->recycles || step.kind == StepKind::Recycle;
    }
    // One folder: the game's own archive folder, or the place the game is seen from.
    if (places.size() <= 1 && (places.empty() || places.front().label.empty())) {
        return RunGroupChange(GroupRecordFolder(game), plan.what, {{game.ArchiveFolder(), plan}});
    }
    // What the Recycle Bin took is not brought back: those places go last.
    std::stable_partition(places.begin(), places.end(), [](const PlaceSteps& p) { return !p.recycles; });
    std::vector<ChangePart> parts;
    for (PlaceSteps& place : places) {
        const std::optional<Game> where = game.Where({place.label, {}});
        if (!where) return Refused(L"Tarrow never changes the archives of " + place.label + L".");
        parts.push_back({where->ArchiveFolder(), std::move(place.plan)});
    }
    return RunGroupChange(GroupRecordFolder(game), plan.what, parts);
}

std::wstring GroupRecordFolder(const Game& game) {
    for (const Game::Place& place : game.Places()) {
        if (place.managed) return place.folder;
    }
    return game.ArchiveFolder();
}
