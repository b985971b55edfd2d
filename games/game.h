#pragma once
// One game of the engine family: the facts of its kind (a profile) and the
// folder it is installed in. Every feature that reads or changes a game's
// archives is given the Game it works on. No windows here.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>
#include "games/qualified_name.h"

// How the game orders the archives of its folder.
enum class OrderRule {
    Plain,       // every archive in name order; the last wins
    Localized,   // Call of Duty: localized_<language>_*.pk3 first (the weakest), only the game's language
    RtcwSingle,  // sp_* sorted as if named zz_*, so they load after almost all; mp_* skipped
    RtcwMulti,   // the reverse; both skip a real zz_*.pk3, whose name they turn into their own prefix
};

// Where a registry value of the game's installer lies: HKEY_LOCAL_MACHINE, 32-bit view.
struct RegistryPlace {
    std::wstring_view key;  // below HKEY_LOCAL_MACHINE
    std::wstring_view value;
};

struct GameProfile {
    std::wstring_view id;    // short, stable: kept in the registry as the chosen game
    std::wstring_view name;  // as the player knows it
    // The folder of its archives that Tarrow manages, below the game folder
    // ("main", "baseq3", "uo").
    std::wstring_view archiveFolder;
    // Folders the game loads below that one, weakest first: an expansion's
    // base game ("main" below "uo"). Tarrow shows their archives and never
    // changes them.
    std::vector<std::wstring_view> baseFolders;
    // Its own archives: those that any of its programs, official patches or
    // open engines ship in its folders, file names with extension in their
    // usual letter case; "*" stands for any run of characters, "?" for one.
    // Matched in any letter case, as the file system finds them.
    std::vector<std::wstring_view> ownArchives;
    // The demo's lists leave out its own archives by their exact names, as
    // they always have; Tarrow still never changes them in any letter case.
    bool ownNamesExact = false;
    OrderRule rule = OrderRule::Plain;
    // Whether loose files win over archives when Tarrow does not know the
    // program that runs: the open engines search them first, the retail
    // programs after.
    bool looseFilesFirst = false;
    // The programs that Play may start, as patterns for the game folder ("CoDSP*.exe").
    std::vector<std::wstring_view> programs;
    // The open engines' programs for the game ("ioquake3*.exe"): they search
    // loose files before archives. Every other program of programs after.
    std::vector<std::wstring_view> openEngines;
    std::vector<RegistryPlace> registry;
    std::wstring_view language = L"english";
    // The game folder lies this folder below the folder a player may pick
    // ("GameData" for Jedi Knight), or empty.
    std::wstring_view below;
    // Its Steam application, whose appmanifest names its folder; 0 for none.
    int steamApp = 0;
    // Its GOG.com id, under whose key its installer writes PATH; empty for none.
    std::wstring_view gogId;
    // The open engines' per-user folders, searched before the install folder,
    // below a known folder: "%APPDATA%\\Quake3", "%DOCUMENTS%\\RTCW".
    std::vector<std::wstring_view> userFolders;
    // Whether the game stacks mod folders (+set fs_game) above its archive
    // folder, and where they lie below the game folder: "" for the archive
    // folder's siblings, "Mods" for Call of Duty.
    bool modFolders = true;
    std::wstring_view modsFolder;
};

class Game {
public:
    // mod: a mod folder below the game folder ("mymod", "Mods\\mymod") that
    // Tarrow manages instead of the archive folder, or empty.
    Game(const GameProfile& profile, std::wstring folder, std::wstring mod = {});

    bool operator==(const Game& other) const {
        return profile_ == other.profile_ && folder_ == other.folder_ && mod_ == other.mod_;
    }

    const GameProfile& profile() const { return *profile_; }
    // The Call of Duty single-player demo, whose screens are as they always were.
    bool IsDemo() const;
    // The game folder, without a trailing backslash.
    const std::wstring& folder() const { return folder_; }
    // The mod folder Tarrow manages, below the game folder; empty for none.
    const std::wstring& mod() const { return mod_; }
    // The same game without its mod folder.
    Game Base() const { return Game(*profile_, folder_); }
    // The game as the player reads it: "OpenArena", "OpenArena: mymod".
    std::wstring Name() const;
    // The words that make the engine stack the mod folder ("+set fs_game mymod"); empty without one.
    std::wstring ModArguments() const;
    // The folder of its archives that Tarrow manages, with a trailing
    // backslash: the folder + "\main\", or the mod folder.
    std::wstring ArchiveFolder() const;
    // The name of that folder as messages name it ("main").
    std::wstring ArchiveFolderName() const;

    // A folder the game loads archives from.
    struct Place {
        std::wstring label;    // as the player reads it: "main", "AppData\\Roaming\\Quake3\\baseq3"
        std::wstring folder;   // with a trailing backslash
        bool managed = false;  // the folder Tarrow manages
        // Its rank in the search: higher ranks win. VirtualStore's copy of a
        // folder shares the folder's rank, since the game sees both as one.
        int rank = 0;
        // Tarrow switches, reorders and fixes archives here: the managed
        // folder, its VirtualStore copy and its per-user folder. The base
        // folders' places it never changes.
        bool changeable = false;

        // Whether the folder is there now.
        bool Exists() const;
        // A file of this place, as the lists name it.
        QualifiedName Name(const std::wstring& file) const { return {managed ? std::wstring() : label, file}; }
    };
    // Every folder it loads archives from, weakest first: for each of the base
    // folder and the mod folder, the install folder (and its VirtualStore
    // copy), then the per-user folder.
    const std::vector<Place>& Places() const { return places_; }
    // An old program sees an install folder merged with its VirtualStore
    // copy, where a file of the same name hides the folder's own.
    class HiddenNames {
    public:
        bool Hide(const std::wstring& file) const;

    private:
        friend class Game;
        std::unordered_set<std::wstring> upper_;  // the copy's names, in capitals
    };
    // The names of the place's files that its VirtualStore copy hides, read in one listing.
    HiddenNames HiddenByStoredCopy(const Place& place) const;
    // The row that stands for the loose files of the managed folder, in the
    // load order as the game searches them: after its archives for the open
    // engines, before them for the old programs.
    static constexpr wchar_t LooseFiles[] = L"loose files";
    // The file an archive so named is. A place the game does not have is an
    // error (AppError), never the managed folder.
    std::wstring PathOf(const QualifiedName& name) const;
    // The name Places gives the archive at path; empty when it lies in none of them.
    std::wstring NameOf(const std::wstring& path) const;
    // The place an archive so named lies in; null when there is none.
    const Place* PlaceOf(const QualifiedName& name) const { return FindPlace(name.place); }
    // The game as Tarrow changes the place of an archive so named: that
    // place's folder is its archive folder, and messages name its label.
    // Null when Tarrow never changes that place.
    std::optional<Game> Where(const QualifiedName& name) const;
    const std::wstring_view& Language() const { return profile_->language; }

    // The game as the program at this path runs it: the open engines search
    // loose files before archives, the retail programs after. A program that
    // Tarrow does not know (or none) leaves the profile's guess.
    Game RunBy(const std::wstring& program) const;
    bool LooseFilesFirst() const { return looseFirst_; }
    // Whether that rule comes from a program Tarrow knows.
    bool LooseRuleKnown() const { return looseKnown_; }
    // Why the game leaves out one of its own archives that it does not load,
    // as Load Order notes it: "game (multiplayer)"; empty when it loads it.
    std::wstring SkippedOwnNote(const std::wstring& qualified) const;

    // One of its own archives, named exactly so: discovery leaves these out of the lists.
    bool IsOwnArchiveName(const std::wstring& fileName) const;
    // In any letter case, as the file system finds them, or an archive of
    // another place: Tarrow never replaces, changes or removes the file that
    // such a name opens.
    bool IsOwnArchiveFile(const std::wstring& fileName) const;
    // False for an archive the game skips (another language's localized archive,
    // RTCW's archives of the other program).
    bool LoadsArchive(const std::wstring& file) const;
    // The game's load order of two archives, each named as Places says: the
    // tiers, then the places, then the names within a place.
    bool LoadsBefore(const std::wstring& a, const std::wstring& b) const;
    // The rank of the place an archive so named lies in (higher wins); -1 for none.
    int Rank(const std::wstring& qualified) const;
    // The tier an archive loads in: lower tiers first; 0 for most archives.
    int Tier(const std::wstring& file) const;
    // The name the engine sorts an archive by within its tier.
    std::wstring SortName(const std::wstring& file) const;
    // Whether a file of the game folder is one of the programs Play may start.
    bool IsGameProgram(const std::wstring& fileName) const;

private:
    const Place* FindPlace(const std::wstring& label) const;
    void AddPlaces(const std::wstring& relative, int rank, bool managed);

    const GameProfile* profile_;
    std::wstring folder_;
    std::wstring mod_;
    std::vector<Place> places_;
    // The changeable place this game is seen from; the managed one when negative.
    int view_ = -1;
    bool looseFirst_ = false;
    bool looseKnown_ = false;
};

// Where Windows keeps what an old 32-bit program without a manifest wrote
// under Program Files: the folder's VirtualStore copy, or empty when the
// folder is not under Program Files.
std::wstring VirtualStoreOf(const std::wstring& folder);
// A mod folder's name as kept or given, when it stays below the game folder:
// one or two plain folder names ("mymod", "Mods\\mymod"); else the empty text.
std::wstring SafeModFolder(const std::wstring& name);
// Whether the engine's command line takes a name as one word that starts
// nothing else: letters, digits and _ - . / only. A "+" would start a console
// command, a space or a quote another word.
bool IsEngineWord(std::wstring_view name);
// A per-user folder of a profile ("%APPDATA%\\Quake3") made a path.
std::wstring ExpandUserFolder(std::wstring_view folder);

// The engine's order of archive names within a tier: byte by byte in the ANSI
// code page, ASCII letters as capitals, "\" and ":" as "/", bytes compared as
// signed chars.
bool EngineNameBefore(const std::wstring& a, const std::wstring& b);
// One byte of a name as that comparison sees it.
int EngineNameByte(char byte);
// An archive named localized_<language>_*.pk3, whatever its letter case.
bool IsLocalizedArchive(const std::wstring& file);

// The profiles Tarrow knows; the first is the Call of Duty single-player demo.
const std::vector<GameProfile>& GameProfiles();
const GameProfile& DemoProfile();
// The profile with this id; null when there is none.
const GameProfile* FindProfile(std::wstring_view id);
// The demo in a folder.
Game DemoGame(std::wstring folder);
// The profiles whose archive folder and own archives the folder holds, best
// first; the folder may be the game folder or the one above it ("GameData").
// Each comes with the game folder it found.
std::vector<Game> RecognizeGames(const std::wstring& folder);
// What RecognizeGames looks for, in a sentence for the player.
std::wstring WhatGamesLookLike();
