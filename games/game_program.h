#pragma once
// The game program that Play starts: the one the player chose, kept per user
// under HKEY_CURRENT_USER\Software\Tarrow (never in the game's own key), or
// else the first of the game's programs in its folder.
#include <string>

#include "games/game.h"

inline constexpr wchar_t GameProgramValue[] = L"Game Program";
inline constexpr wchar_t GameProgramsKey[] = L"Game Programs";

// The program to start, or the empty text when there is none to be found.
std::wstring FindGameProgram(const Game& game);
// Keeps the player's choice for the game; the platform's result code.
long KeepGameProgram(const Game& game, const std::wstring& path);
