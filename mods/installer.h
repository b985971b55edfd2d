#pragma once
// Installing downloaded mods into the game's main folder, and removing mods,
// with no file lost: a new archive is written under a temporary name the game
// ignores, flushed and checked before it is renamed into place, and what is
// replaced or removed goes to the Recycle Bin.
#include <functional>
#include <string>
#include <vector>

#include "games/game.h"

#include "core/prompts.h"
#include "core/transaction.h"

// A mod that an install put in place.
struct InstalledMod {
    std::wstring file;      // its name in main
    std::wstring download;  // the file the player gave
    std::wstring entry;     // the .pk3 inside download that was installed, or empty for download itself
    bool replaced = false;  // it took the place of an archive of its name
};

// Installs each download: a .pk3, or a zip that holds .pk3 files at any depth
// or is itself a mod. Asks through the prompts given before it replaces a mod, and
// reports each refused or failed file in a message; such a file leaves main as
// it was. Copies of more than 100 MB in all run behind a progress window; a
// cancel keeps the mods already finished. Returns the mods put in place in
// main, in order.
std::vector<InstalledMod> InstallMods(const Game& game, const std::vector<std::wstring>& downloads, Prompts& prompts);

// Installs a mod once more from where it came from, as a redo does after the
// install was undone; says why not in a message and gives false.
bool InstallAgain(const Game& game, const InstalledMod& mod, Prompts& prompts);

// The change that puts source in main as placed: a copy under a temporary
// name, checked, renamed into place; an existing archive of the mod steps
// aside first and goes to the Recycle Bin last.
ChangePlan PlaceModPlan(const std::wstring& mainFolder, const std::wstring& source, const std::wstring& existing,
                        const std::wstring& placed, std::function<bool(unsigned long long)> progress = {});
ChangePlan RemoveModPlan(const std::wstring& fileName);

// Asks, then moves an archive of the main folder to the Recycle Bin. The
// game's own archives are never removed. True when the file has left main.
bool RemoveMod(const Game& game, const std::wstring& fileName, Prompts& prompts);

// "name.pk3, 1234 bytes, 07/12/2026 10:30": a file as a question shows it.
std::wstring DescribeArchive(const std::wstring& shownName, const std::wstring& path);
