#pragma once
// Carries out what Tarrow's command line asks (a desktop shortcut's, or a
// second Tarrow's), in the order a player would: the game, the mod set, the
// files, Play. Every argument is checked before anything changes.
#include <functional>
#include <string>
#include <vector>

#include "core/transaction.h"
#include "games/launch.h"

struct LaunchHost {
    std::function<const Game&()> game;  // the game in use
    std::function<void(const Game&)> choose;
    ChangeRunner run;
    std::function<void(const std::vector<std::wstring>&)> install;
    std::function<bool()> play;  // true when the game started
};

// demoFolder: the demo's folder, as File > Game is given it. True when the
// game was started.
bool CarryOutLaunch(const LaunchRequest& request, const std::wstring& demoFolder, const LaunchHost& host);
