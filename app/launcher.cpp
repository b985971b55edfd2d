#include "app/launcher.h"

#include <algorithm>

#include "ui/prompts.h"
#include "core/text.h"
#include "mods/mod_library.h"
#include "mods/mod_sets.h"

namespace {

bool Refuse(const std::wstring& why) {
    MsgBox(why, MB_OK | MB_ICONWARNING);
    return false;
}

// Switches to the set through the same plan as Mod Sets' Switch To, without
// its preview; names the mods it lacks in one message. False when the change failed.
bool SwitchToSet(const Game& game, const ModSet& set, const ChangeRunner& run) {
    const SetSwitch plan = PlanSetSwitch(game, set, ArchiveFileNamesOfEveryPlace(game));
    if (!plan.renames.empty() &&
        !run({L"switching to the set " + set.name, plan.renames}, L"Switch to " + set.name, {})) {
        return false;
    }
    if (!plan.missing.empty()) {
        std::wstring text =
            L"These mods of the set " + set.name + L" are not in " + game.ArchiveFolderName() + L":\r\n";
        for (const std::wstring& mod : plan.missing) text += L"\r\n    " + mod;
        MsgBox(text, MB_OK | MB_ICONINFORMATION);
    }
    return true;
}

}  // namespace

bool CarryOutLaunch(const LaunchRequest& request, const std::wstring& demoFolder, const LaunchHost& host) {
    Game game = host.game();
    if (!request.game.empty()) {
        const std::optional<Game> named = ResolveLaunchGame(request.game, FindKnownGames(demoFolder));
        if (!named) {
            return Refuse(L"Tarrow found no game \"" + request.game + L"\" for the argument --game. " +
                          WhatGamesLookLike());
        }
        game = *named;
    }
    ModSet set;
    if (!request.set.empty()) {
        const std::vector<ModSet> sets = ReadModSets(game).sets;
        const auto found =
            std::find_if(sets.begin(), sets.end(), [&](const ModSet& s) { return EqualNoCase(s.name, request.set); });
        if (found == sets.end()) {
            return Refuse(L"Tarrow found no mod set \"" + request.set + L"\" of " + game.Name() +
                          L" for the argument --set.");
        }
        set = *found;
    }
    if (!(game == host.game())) host.choose(game);
    // The game in use runs and holds its archives: no other game is chosen then.
    if (!(game == host.game())) return Refuse(L"Tarrow cannot turn to " + game.Name() + L" while the game runs.");
    if (!request.set.empty() && !SwitchToSet(host.game(), set, host.run)) return false;
    if (!request.files.empty()) host.install(request.files);
    return request.play && host.play();
}
