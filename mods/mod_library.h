#pragma once
// The mod library on disk: the archives of the game's main folder. An enabled
// mod is name + ".pk3", a disabled one the same file with ".dis"; the game
// ignores .dis archives.
#include <string>
#include <vector>

#include "games/game.h"

inline constexpr wchar_t EnabledExtension[] = L".pk3";
inline constexpr wchar_t DisabledExtension[] = L".dis";

struct ModLists {
    std::vector<std::wstring> enabled;
    std::vector<std::wstring> disabled;
};

// The mod name of an archive's file name: the text before the first
// case-sensitive occurrence of the extension, or the whole name.
std::wstring ModNameOf(const std::wstring& fileName, const std::wstring& extension);
// Scans the game's archive folder (never its subfolders) for enabled and
// disabled mods, leaving out the game's own archives. Throws AppError when the
// folder cannot be listed; a missing folder gives empty lists.
ModLists ScanMods(const Game& game);

// An archive of main as a change from outside would show: name, size, time.
struct ArchiveStamp {
    std::wstring name;
    unsigned long long size = 0, written = 0;
    bool operator==(const ArchiveStamp&) const = default;
};
// The .pk3 and .dis files of the main folder, by name; none when it cannot be listed.
std::vector<ArchiveStamp> StampArchives(const Game& game);
// Their names alone.
std::vector<std::wstring> ArchiveFileNames(const Game& game);
// The same of every place Tarrow changes, those of the other places named with their place.
std::vector<ArchiveStamp> StampEveryPlace(const Game& game);
std::vector<std::wstring> ArchiveFileNamesOfEveryPlace(const Game& game);
// The folders of the places Tarrow changes that are there: the managed one first.
std::vector<std::wstring> ChangeableFolders(const Game& game);

// The mods of a game as the Manager's two lists show them. The list boxes show
// this model; they do not keep the mods.
struct ModListModel {
    ModLists lists;
    // The archives as they were when the lists were read.
    std::vector<ArchiveStamp> stamps;
    // Why the folder could not be read; empty when it was.
    std::wstring failure;
};
ModListModel ReadModListModel(const Game& game);

// Tarrow's own prefix, which a reorder puts before a mod's name to place it in
// the load order: a key of one to twelve characters, then "^", as in
// "SO^armour.pk3". A key has no small letters (the game does not tell them
// from capitals) and only characters that Windows allows in a name. Authors'
// own prefixes ("zz_", "z_") never end in "^", so the name alone tells which
// part Tarrow added.
inline constexpr wchar_t PrefixMark = L'^';
// A character that a key may hold: "!" to "~", but no small letter, no "^",
// and none of < > : " / \ | ? *.
bool IsTarrowKeyChar(wchar_t c);
// The length of Tarrow's prefix at the start of a file name, "^" included; 0 when it has none.
size_t TarrowPrefixLength(const std::wstring& file);
std::wstring WithoutTarrowPrefix(const std::wstring& file);
