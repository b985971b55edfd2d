#pragma once
// Installing downloaded mods into the game's main folder, and removing mods,
// with no file lost: a new archive is written under a temporary name the game
// ignores, flushed and checked before it is renamed into place, and what is
// replaced or removed goes to the Recycle Bin.
#include <string>
#include <vector>

// Installs each download: a .pk3, or a zip that holds .pk3 files at any depth
// or is itself a mod. Asks through the prompts before it replaces a mod, and
// reports each refused or failed file in a message; such a file leaves main as
// it was. Copies of more than 100 MB in all run behind a progress window; a
// cancel keeps the mods already finished. Returns the file names put in place
// in main, in order.
std::vector<std::wstring> InstallMods(const std::wstring& gameFolder, const std::vector<std::wstring>& downloads);

// Asks, then moves an archive of the main folder to the Recycle Bin. The
// game's own archives are never removed. True when the file has left main.
bool RemoveMod(const std::wstring& gameFolder, const std::wstring& fileName);

// A file name that Windows accepts and that names no device (CON, NUL, COM1...).
bool IsAllowedFileName(const std::wstring& name);
