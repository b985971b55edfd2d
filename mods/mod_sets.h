#pragma once
// Mod sets: named lists of the mods to enable, kept per user in the registry,
// apart for each game folder, and shared as small text files. A mod is known
// by its name without the extension and without the prefix that a reorder
// gave it, so a set survives a reorder; letter case does not count.
#include <string>
#include <vector>

#include "core/transaction.h"
#include "games/game.h"

inline constexpr wchar_t ModSetsKey[] = L"Software\\Tarrow\\Mod Sets";
inline constexpr size_t kLongestSetName = 64;

struct ModSet {
    std::wstring name;
    std::vector<std::wstring> mods;
};

// The name by which a set knows the mod in an archive of main, or of another
// place Tarrow changes (named with its place, which the set does not keep).
std::wstring SetModName(const std::wstring& fileName);
// 1 to 64 characters, none of them a control character.
bool IsValidSetName(const std::wstring& name);

struct StoredSets {
    std::vector<ModSet> sets;           // by name, without regard to case
    std::vector<std::wstring> skipped;  // the values that could not be taken, and why
};
// The sets of a game folder. A value that is missing, of the wrong type or
// too long is skipped and named; nothing here throws.
StoredSets ReadModSets(const Game& game);
// Each gives the platform's result code.
long SaveModSet(const Game& game, const ModSet& set);
long DeleteModSet(const Game& game, const std::wstring& name);

// What switching to a set does to main.
struct SetSwitch {
    std::vector<std::wstring> enable, disable, missing, leftAsIs;  // for the preview
    std::vector<ChangeStep> renames;
};
// files: the .pk3 and .dis files of main, and of the other places Tarrow
// changes, named with their place. The game's own archives are never
// touched; a .pk3 whose extension is not in lower case, or a mod that is in
// main twice, is left as it is.
SetSwitch PlanSetSwitch(const Game& game, const ModSet& set, const std::vector<std::wstring>& files);
std::wstring SetSwitchPreview(const SetSwitch& plan);

// A set as a text file: "Tarrow mod set: <name>", then a mod name per line, in UTF-8.
std::string ExportModSet(const ModSet& set);
struct ImportedSet {
    ModSet set;
    std::wstring failure;  // why the file is refused, with its line; nothing is added then
};
ImportedSet ImportModSet(const std::string& bytes);
