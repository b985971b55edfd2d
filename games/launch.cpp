#include "games/launch.h"

#include <windows.h>

#include "core/file_system.h"
#include "core/text.h"

namespace {

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(written < size ? written : 0);
    return full.empty() ? path : full;
}

std::wstring WithoutSlash(const std::wstring& folder) { return std::wstring(WithoutTrailingBackslashes(folder, 3)); }

}  // namespace

ParsedLaunch ParseLaunch(const std::vector<std::wstring>& arguments) {
    return ClassifyLaunch(arguments, [](const std::wstring& argument) -> std::optional<std::wstring> {
        std::wstring full = FullPath(argument);
        if (!FileSystem::FileExists(full)) return std::nullopt;
        return full;
    });
}

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) { return SplitCommandWords(commandLine); }

namespace {

// A known game, or a mod folder of one, in this folder; of this profile when one is given.
std::optional<Game> KnownAt(const std::wstring& folder, const GameProfile* profile,
                            const std::vector<KnownGame>& known) {
    for (const KnownGame& game : known) {
        if (profile && &game.game.profile() != profile) continue;
        const std::wstring place =
            game.game.mod().empty() ? game.game.folder() : WithoutSlash(game.game.ArchiveFolder());
        if (EqualNoCase(place, folder)) return game.game;
    }
    std::vector<Game> recognized = RecognizeGames(folder);
    for (Game& game : recognized) {
        if (!profile || &game.profile() == profile) return game;
    }
    return std::nullopt;
}

}  // namespace

std::optional<Game> ResolveLaunchGame(const std::wstring& given, const std::vector<KnownGame>& known) {
    for (const KnownGame& game : known) {
        if (game.game.mod().empty() && game.game.profile().id == given) return game.game;
    }
    if (FindProfile(given)) return std::nullopt;  // a game that is not installed here
    // "<id>@<folder>": the game of that profile in that folder.
    if (const size_t at = given.find(L'@'); at != std::wstring::npos) {
        if (const GameProfile* profile = FindProfile(given.substr(0, at))) {
            return KnownAt(WithoutSlash(given.substr(at + 1)), profile, known);
        }
    }
    return KnownAt(WithoutSlash(given), nullptr, known);
}

std::wstring LaunchGameName(const Game& game, const std::vector<KnownGame>& known) {
    // Never the id alone: a second copy of the game found later would take
    // the shortcut over. The folder does not change when another copy appears.
    std::wstring folder = game.mod().empty() ? game.folder() : WithoutSlash(game.ArchiveFolder());
    if (const auto found = ResolveLaunchGame(folder, known); found && *found == game) return folder;
    return std::wstring(game.profile().id) + L"@" + folder;
}
