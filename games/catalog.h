#pragma once
// The games Tarrow knows on this machine: the demo, each game found through
// its installer's registry values, the folders set in Options for games other
// than the demo, and the folders added by hand. What Tarrow keeps of them lies
// under HKEY_CURRENT_USER\Software\Tarrow; it never writes a game's own keys.
#include <optional>
#include <string>
#include <vector>

#include "games/game.h"

struct KnownGame {
    Game game;
    // How it was found: "registry", "Options", "Steam", "GOG", "Microsoft Store", "added by hand", "mod folder".
    std::wstring where;
    // A mod folder's description.txt, its first line.
    std::wstring description;
};

// demoFolder: the demo's folder as its registry value gives it; empty or "\"
// when it is not installed. Each game is followed by its mod folders.
std::vector<KnownGame> FindKnownGames(const std::wstring& demoFolder);
// The first game found on this machine other than the demo, for a start
// without the demo or the game chosen last; none when there is none.
std::optional<Game> FirstKnownGame();
// The game Tarrow starts on: the one chosen last, when it is there; else the
// demo, when its registry value is set and leads to its folder; else the
// first game found; else the demo when its value is set at all. Neither when
// no game is found.
struct StartGame {
    std::optional<Game> game;  // a game other than the demo
    bool demo = false;
};
StartGame ChooseStartGame(bool demoValueSet, const std::wstring& demoFolder);
// The mod folders of a game: folders beside its archive folder (or below its
// mods folder) that hold archives or a description.txt.
std::vector<KnownGame> FindModFolders(const Game& game);
// The menu's text for a game: "<game> (<folder>)", or for a mod folder
// "<game>: <mod folder>", with " - <description>" when it has one.
std::wstring KnownGameText(const KnownGame& known);

// Keeps a folder added by hand; the platform's result code.
long KeepAddedGame(const Game& game);
// Keeps the folder set in Options for a game other than the demo.
long KeepGameFolder(const GameProfile& profile, const std::wstring& folder);
// The folder set in Options for a game other than the demo; empty when none.
std::wstring KeptGameFolder(const GameProfile& profile);
// The game chosen last, and its folder.
long KeepChosenGame(const Game& game);
std::optional<Game> ChosenGame();
