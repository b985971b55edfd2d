#include "games/catalog.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "core/directory.h"
#include "core/file_system.h"
#include "core/registry.h"
#include "core/settings.h"
#include "core/text.h"
#include "games/steam.h"

namespace {

constexpr wchar_t kAddedKey[] = L"Added Games";     // value: the folder; data: the profile's id
constexpr wchar_t kFoldersKey[] = L"Game Folders";  // value: the profile's id; data: its folder
constexpr wchar_t kChosenGame[] = L"Game";
constexpr wchar_t kChosenFolder[] = L"Game Folder";
constexpr wchar_t kChosenMod[] = L"Game Mod";
constexpr wchar_t kGogKey[] = L"SOFTWARE\\GOG.com\\Games";

bool HoldsArchiveFolder(const Game& game) {
    const std::wstring folder = game.ArchiveFolder();
    return FileSystem::FolderExists(folder.substr(0, folder.size() - 1));
}

std::wstring Below(const GameProfile& profile, std::wstring folder) {
    folder = std::wstring(WithoutTrailingBackslashes(folder, 3));
    if (!profile.below.empty()) folder += L"\\" + std::wstring(profile.below);
    return folder;
}

void Add(std::vector<KnownGame>& games, Game game, const wchar_t* where) {
    for (const KnownGame& known : games) {
        if (&known.game.profile() == &game.profile() && EqualNoCase(known.game.folder(), game.folder())) return;
    }
    if (HoldsArchiveFolder(game)) games.push_back({std::move(game), where});
}

std::vector<std::pair<std::wstring, std::wstring>> RegistryOf(const GameProfile& profile) {
    std::vector<std::pair<std::wstring, std::wstring>> places;
    for (const RegistryPlace& place : profile.registry) places.emplace_back(place.key, place.value);
    return places;
}

// The folder an installer's registry value names, in the 32-bit view.
std::wstring InstalledFolder(const GameProfile& profile,
                             const std::vector<std::pair<std::wstring, std::wstring>>& places) {
    for (const auto& [key, name] : places) {
        const std::wstring value = RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, key, name));
        const std::wstring clean = value.substr(0, value.find(L'\0'));
        if (!clean.empty()) return Below(profile, clean);
    }
    return {};
}

// The games of a folder that GOG's installer wrote under the key named id:
// the profiles of that id, or whose goggame-<id>.info the folder holds, or
// else what the folder looks like.
std::vector<Game> GogGames(const std::wstring& id, const std::wstring& folder) {
    std::vector<Game> games;
    for (const GameProfile& profile : GameProfiles()) {
        if (profile.gogId.empty()) continue;
        if (profile.gogId == id ||
            FileSystem::FileExists(folder + L"\\goggame-" + std::wstring(profile.gogId) + L".info")) {
            games.emplace_back(profile, folder);
        }
    }
    return games.empty() ? RecognizeGames(folder) : games;
}

void AddGogGames(std::vector<KnownGame>& games) {
    for (const std::wstring& id : GetRegistrySubkeys(HKEY_LOCAL_MACHINE, kGogKey)) {
        const std::wstring path =
            RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, std::wstring(kGogKey) + L"\\" + id, L"PATH"));
        const std::wstring folder(WithoutTrailingBackslashes(path.substr(0, path.find(L'\0')), 3));
        if (folder.empty()) continue;
        for (Game& game : GogGames(id, folder)) Add(games, Game(game.profile(), Below(game.profile(), folder)), L"GOG");
    }
}

// The first line of a mod's description.txt, as its game's menu shows it.
std::wstring DescriptionOf(const std::wstring& folder) {
    std::string text = FileSystem::ReadWholeFile(folder + L"\\description.txt", 256);
    text.resize(std::min(text.size(), text.find_first_of("\r\n")));
    std::wstring line = AnsiToWide(text);
    std::replace_if(
        line.begin(), line.end(), [](wchar_t c) { return c < L' '; }, L' ');
    const size_t first = line.find_first_not_of(L' '), last = line.find_last_not_of(L' ');
    return first == std::wstring::npos ? std::wstring() : line.substr(first, last - first + 1);
}

// Another game's folder beside the archive folder is no mod folder of this one.
bool IsGamesFolder(const std::wstring& name) {
    for (const GameProfile& profile : GameProfiles()) {
        if (EqualNoCase(name, profile.archiveFolder)) return true;
        for (const std::wstring_view base : profile.baseFolders) {
            if (EqualNoCase(name, base)) return true;
        }
    }
    return false;
}

bool HoldsArchives(const std::wstring& folder) {
    for (const wchar_t* pattern : {L"\\*.pk3", L"\\*.dis"}) {
        DirectoryWalk walk(folder + pattern);
        WIN32_FIND_DATAW entry{};
        if (walk.Next(entry)) return true;
    }
    return FileSystem::FileExists(folder + L"\\description.txt");
}

}  // namespace

std::vector<KnownGame> FindModFolders(const Game& game) {
    std::vector<KnownGame> mods;
    const GameProfile& profile = game.profile();
    if (!profile.modFolders || !game.mod().empty()) return mods;
    const std::wstring below = profile.modsFolder.empty() ? std::wstring() : std::wstring(profile.modsFolder) + L"\\";
    DirectoryWalk walk(game.folder() + L"\\" + below + L"*");
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        const std::wstring name = entry.cFileName;
        if (!IsFolder(entry) || (below.empty() && IsGamesFolder(name))) continue;
        // The engine could not be given its name on the command line.
        if (SafeModFolder(below + name).empty()) continue;
        std::wstring folder = game.folder() + L"\\";
        folder += below;
        folder += name;
        if (!HoldsArchives(folder)) continue;
        mods.push_back({Game(profile, game.folder(), below + name), L"mod folder", DescriptionOf(folder)});
    }
    std::sort(mods.begin(), mods.end(), [](const KnownGame& a, const KnownGame& b) {
        return CompareStringOrdinal(a.game.mod().c_str(), -1, b.game.mod().c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    return mods;
}

std::vector<KnownGame> FindKnownGames(const std::wstring& demoFolder) {
    std::vector<KnownGame> games;
    if (!demoFolder.empty() && demoFolder != L"\\") Add(games, DemoGame(demoFolder), L"registry");
    for (const GameProfile& profile : GameProfiles()) {
        if (&profile == &DemoProfile()) continue;
        // The folder set in Options is the player's word over the installer's.
        if (const std::wstring kept = KeptGameFolder(profile); !kept.empty()) {
            Add(games, Game(profile, kept), L"Options");
        } else if (const std::wstring installed = InstalledFolder(profile, RegistryOf(profile)); !installed.empty()) {
            Add(games, Game(profile, installed), L"registry");
        }
    }
    for (Game& game : SteamGames(SteamLibraries())) Add(games, std::move(game), L"Steam");
    // Without Steam's own key, its uninstaller's entry of each game.
    for (const GameProfile& profile : GameProfiles()) {
        if (profile.steamApp == 0) continue;
        const std::wstring key =
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App " + std::to_wstring(profile.steamApp);
        if (const std::wstring folder = InstalledFolder(profile, {{key, L"InstallLocation"}}); !folder.empty()) {
            Add(games, Game(profile, folder), L"Steam");
        }
    }
    AddGogGames(games);
    // The Microsoft Store lays Quake III out in a folder of its own.
    for (Game& game : RecognizeGames(ExpandUserFolder(L"%PROGRAMFILES%\\ModifiableWindowsApps\\Quake 3\\EN"))) {
        Add(games, std::move(game), L"Microsoft Store");
    }
    for (const auto& [folder, id] : ReadSettings(kAddedKey)) {
        if (const GameProfile* profile = FindProfile(id)) Add(games, Game(*profile, folder), L"added by hand");
    }
    std::vector<KnownGame> withMods;
    for (KnownGame& known : games) {
        std::vector<KnownGame> mods = FindModFolders(known.game);
        withMods.push_back(std::move(known));
        std::move(mods.begin(), mods.end(), std::back_inserter(withMods));
    }
    return withMods;
}

std::optional<Game> FirstKnownGame() {
    for (const KnownGame& known : FindKnownGames({})) {
        const auto& places = known.game.Places();
        const bool there =
            std::any_of(places.begin(), places.end(), [](const Game::Place& p) { return p.managed && p.Exists(); });
        if (known.game.mod().empty() && there) return known.game;
    }
    return std::nullopt;
}

StartGame ChooseStartGame(bool demoValueSet, const std::wstring& demoFolder) {
    if (const std::optional<Game> chosen = ChosenGame();
        chosen && !chosen->IsDemo() &&
        FileSystem::FolderExists(std::wstring(WithoutTrailingBackslashes(chosen->ArchiveFolder())))) {
        return {chosen, false};
    }
    if (demoValueSet && FileSystem::FolderExists(demoFolder + L"\\main")) return {std::nullopt, true};
    // A player without the demo starts on a game that is there.
    if (std::optional<Game> found = FirstKnownGame()) return {std::move(found), false};
    return {std::nullopt, demoValueSet};
}

std::wstring KnownGameText(const KnownGame& known) {
    if (!known.game.mod().empty()) {
        return known.game.Name() + (known.description.empty() ? L"" : L" - " + known.description);
    }
    return std::wstring(known.game.profile().name) + L" (" + known.game.folder() + L")";
}

long KeepAddedGame(const Game& game) { return WriteSetting(game.folder(), std::wstring(game.profile().id), kAddedKey); }

long KeepGameFolder(const GameProfile& profile, const std::wstring& folder) {
    return WriteSetting(std::wstring(profile.id), folder, kFoldersKey);
}

std::wstring KeptGameFolder(const GameProfile& profile) { return ReadSetting(std::wstring(profile.id), kFoldersKey); }

long KeepChosenGame(const Game& game) {
    if (const long error = WriteSetting(kChosenGame, std::wstring(game.profile().id))) return error;
    if (const long error = WriteSetting(kChosenMod, game.mod())) return error;
    return WriteSetting(kChosenFolder, game.folder());
}

std::optional<Game> ChosenGame() {
    const GameProfile* profile = FindProfile(ReadSetting(kChosenGame));
    const std::wstring folder = ReadSetting(kChosenFolder);
    if (!profile || folder.empty()) return std::nullopt;
    return Game(*profile, folder, SafeModFolder(ReadSetting(kChosenMod)));
}
