#pragma once
// The games that Steam installed: its folder from SteamPath under
// HKEY_CURRENT_USER\Software\Valve\Steam, its libraries from libraryfolders.vdf (both copies,
// all three layouts) and config.vdf, and each game by its appmanifest's
// installdir. A damaged or hostile file of Steam's skips that library alone.
#include <string>
#include <vector>

#include "games/game.h"

// The libraries, the Steam folder first; none when Steam is not installed.
std::vector<std::wstring> SteamLibraries();
// The libraries that a libraryfolders.vdf or config.vdf text names.
std::vector<std::wstring> LibrariesIn(const std::string& text);
// The games of the profiles that these libraries hold.
std::vector<Game> SteamGames(const std::vector<std::wstring>& libraries);
