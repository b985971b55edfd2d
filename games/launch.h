#pragma once
// Tarrow's command line: tarrow.exe [--game <id or folder>] [--set <name>]
// [--play] [file ...]. What a desktop shortcut runs, and what a second Tarrow
// hands to the first. No windows here.
#include <optional>
#include <string>
#include <vector>

#include "games/catalog.h"
#include "games/command_words.h"

// The arguments after the program's name. Files are made full paths against
// the current folder, and must be there.
ParsedLaunch ParseLaunch(const std::vector<std::wstring>& arguments);
// The arguments of a command line, after the program's name, as Windows splits them.
std::vector<std::wstring> SplitArguments(const std::wstring& commandLine);

// The game --game names among the games known: a profile's id (its first
// game), a known game's folder or mod folder, a folder that looks like a
// game, or "<id>@<folder>" for that profile's game in that folder.
std::optional<Game> ResolveLaunchGame(const std::wstring& given, const std::vector<KnownGame>& known);
// How --game names this game so that ResolveLaunchGame finds it again, also
// once another copy of the game is found: its folder (the mod folder for a
// mod) when that is enough, else its id and its folder.
std::wstring LaunchGameName(const Game& game, const std::vector<KnownGame>& known);
