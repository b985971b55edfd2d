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

std::vector<ChangeStep> ReversedRenames(const std::vector<ChangeStep>& steps) {
    std::vector<ChangeStep> back;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        if (step->kind == StepKind::Rename) back.push_back({step->to, step->from});
    }
    return back;
}

// Renaming or removing one of the game's own archives breaks the game (or
// its other program): whatever a window planned, that never runs. Enabling a
// disabled own archive gives the game its file back and may run.
const ChangeStep* TakesOwnArchive(const Game& game, const ChangePlan& plan) {
    for (const ChangeStep& step : plan.steps) {
        const bool takes = step.kind == StepKind::Rename || step.kind == StepKind::Recycle;
        if (takes && game.IsOwnArchiveFile(step.from) && step.from != Game::LooseFiles) return &step;
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
        const std::wstring label = Game::PlaceOf(Named(step));
        if (step.kind == StepKind::Rename && Game::PlaceOf(step.to) != label) {
            return Refused(L"Tarrow cannot move " + step.from + L" to another folder by renaming it.");
        }
        auto place = std::find_if(places.begin(), places.end(), [&](const PlaceSteps& p) { return p.label == label; });
        if (place == places.end()) place = places.insert(places.end(), {label, {plan.what, {}}, false});
        ChangeStep local = step;
        if (!local.from.empty()) local.from = Game::FileOf(local.from);
        if (!local.to.empty()) local.to = Game::FileOf(local.to);
        place->plan.steps.push_back(std::move(local));
        place->recycles = place->recycles || step.kind == StepKind::Recycle;
    }
    if (places.size() <= 1 && (places.empty() || places.front().label.empty())) return RunChange(game.ArchiveFolder(), plan);
    // What the Recycle Bin took is not brought back: those places go last.
    std::stable_partition(places.begin(), places.end(), [](const PlaceSteps& p) { return !p.recycles; });
    ChangeOutcome outcome;
    for (size_t i = 0; i < places.size(); ++i) {
        const std::optional<Game> where = game.AtPlace(places[i].label);
        if (!where) return Refused(L"Tarrow never changes the archives of " + places[i].label + L".");
        outcome = RunChange(where->ArchiveFolder(), places[i].plan);
        if (outcome.result == ChangeResult::Done) continue;
        for (size_t done = i; done-- > 0;) {
            const std::optional<Game> back = game.AtPlace(places[done].label);
            RunChange(back->ArchiveFolder(), {L"taking back " + plan.what, ReversedRenames(places[done].plan.steps)});
        }
        return outcome;
    }
    return outcome;
}
