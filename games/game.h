#pragma once
// One game of the engine family: the facts of its kind (a profile) and the
// folder it is installed in. Every feature that reads or changes a game's
// archives is given the Game it works on. No windows here.
#include <string>
#include <string_view>
#include <vector>

// How the game orders the archives of its folder.
enum class OrderRule {
    Plain,      // every archive in name order; the last wins
    Localized,  // Call of Duty: localized_<language>_*.pk3 first (the weakest), only the game's language
    RtcwSingle,  // sp_* sorted as if named zz*, so they load after almost all; mp_* skipped
    RtcwMulti,   // the reverse; and a lowercase zz_*.pk3 is renamed mp_* inside and fails to load
};

// Where a registry value of the game's installer lies: HKEY_LOCAL_MACHINE, 32-bit view.
struct RegistryPlace {
    std::wstring_view key;    // below HKEY_LOCAL_MACHINE
    std::wstring_view value;
    std::wstring_view below;  // a folder below the value's folder that is the game folder, or empty
};

struct GameProfile {
    std::wstring_view id;    // short, stable: kept in the registry as the chosen game
    std::wstring_view name;  // as the player knows it
    // The folder of its archives, below the game folder ("main", "GameData\\base").
    std::wstring_view archiveFolder;
    // An expansion's folder, searched before archiveFolder ("uo"), or empty.
    std::wstring_view expansionFolder;
    // Its own archives, file names with extension in their usual letter case.
    std::vector<std::wstring_view> ownArchives;
    OrderRule rule = OrderRule::Plain;
    // The open engines search loose files before archives; the old programs after.
    bool looseFilesFirst = false;
    // The programs that Play may start, as patterns for the game folder ("CoDSP*.exe").
    std::vector<std::wstring_view> programs;
    std::vector<RegistryPlace> registry;
    std::wstring_view language = L"english";
};

class Game {
public:
    Game(const GameProfile& profile, std::wstring folder);

    bool operator==(const Game& other) const { return profile_ == other.profile_ && folder_ == other.folder_; }

    const GameProfile& profile() const { return *profile_; }
    // The game folder, without a trailing backslash.
    const std::wstring& folder() const { return folder_; }
    // The folder of its archives, with a trailing backslash: the folder + "\main\".
    std::wstring ArchiveFolder() const;
    // The name of the archive folder as messages name it ("main").
    std::wstring ArchiveFolderName() const { return std::wstring(profile_->archiveFolder); }
    const std::wstring_view& Language() const { return profile_->language; }

    // One of its own archives, named exactly so: discovery leaves these out of the lists.
    bool IsOwnArchiveName(const std::wstring& fileName) const;
    // In any letter case, as the file system finds them: Tarrow never replaces,
    // changes or removes the file that such a name opens.
    bool IsOwnArchiveFile(const std::wstring& fileName) const;
    // False for an archive the game skips (another language's localized archive,
    // RTCW's archives of the other program).
    bool LoadsArchive(const std::wstring& file) const;
    // The game's load order of two archive names of one folder: the tiers, then
    // the names within a tier.
    bool LoadsBefore(const std::wstring& a, const std::wstring& b) const;
    // The tier an archive loads in: lower tiers first; 0 for most archives.
    int Tier(const std::wstring& file) const;
    // The name the engine sorts an archive by within its tier.
    std::wstring SortName(const std::wstring& file) const;
    // Whether a file of the game folder is one of the programs Play may start.
    bool IsGameProgram(const std::wstring& fileName) const;

private:
    const GameProfile* profile_;
    std::wstring folder_;
};

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
