#include "games/catalog.h"

#include <windows.h>

#include "core/file_system.h"
#include "core/registry.h"
#include "core/settings.h"
#include "core/text.h"
#include "games/steam.h"

namespace {

constexpr wchar_t kAddedKey[] = L"Added Games";    // value: the folder; data: the profile's id
constexpr wchar_t kFoldersKey[] = L"Game Folders";  // value: the profile's id; data: its folder
constexpr wchar_t kChosenGame[] = L"Game";
constexpr wchar_t kChosenFolder[] = L"Game Folder";

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
std::wstring InstalledFolder(const GameProfile& profile, const std::vector<std::pair<std::wstring, std::wstring>>& places) {
    for (const auto& [key, name] : places) {
        const std::wstring value = RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, key, name));
        const std::wstring clean = value.substr(0, value.find(L'\0'));
        if (!clean.empty()) return Below(profile, clean);
    }
    return {};
}

}  // namespace

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
    for (const GameProfile& profile : GameProfiles()) {
        if (profile.gogId.empty()) continue;
        const std::wstring path = InstalledFolder(profile, {{L"SOFTWARE\\GOG.com\\Games\\" + std::wstring(profile.gogId), L"PATH"}});
        if (!path.empty()) Add(games, Game(profile, path), L"GOG");
    }
    for (const auto& [folder, id] : ReadSettings(kAddedKey)) {
        if (const GameProfile* profile = FindProfile(id)) Add(games, Game(*profile, folder), L"added by hand");
    }
    return games;
}

std::wstring KnownGameText(const KnownGame& known) {
    return std::wstring(known.game.profile().name) + L" (" + known.game.folder() + L")";
}

long KeepAddedGame(const Game& game) { return WriteSetting(game.folder(), std::wstring(game.profile().id), kAddedKey); }

long KeepGameFolder(const GameProfile& profile, const std::wstring& folder) {
    return WriteSetting(std::wstring(profile.id), folder, kFoldersKey);
}

std::wstring KeptGameFolder(const GameProfile& profile) { return ReadSetting(std::wstring(profile.id), kFoldersKey); }

long KeepChosenGame(const Game& game) {
    if (const long error = WriteSetting(kChosenGame, std::wstring(game.profile().id))) return error;
    return WriteSetting(kChosenFolder, game.folder());
}

std::optional<Game> ChosenGame() {
    const GameProfile* profile = FindProfile(ReadSetting(kChosenGame));
    const std::wstring folder = ReadSetting(kChosenFolder);
    if (!profile || folder.empty()) return std::nullopt;
    return Game(*profile, folder);
}
