#include "games/launch.h"

#include <windows.h>
#include <shellapi.h>

#include "core/file_system.h"
#include "core/text.h"

namespace {

bool TakesValue(const std::wstring& argument) { return argument == L"--game" || argument == L"--set"; }

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
    ParsedLaunch parsed;
    LaunchRequest& request = parsed.request;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        // "--set=<name>" carries a value that starts with "--" itself.
        if (const size_t equals = argument.find(L'='); equals != std::wstring::npos && TakesValue(argument.substr(0, equals))) {
            if (equals + 1 == argument.size()) {
                parsed.error = L"The argument " + argument.substr(0, equals) + L" needs a value after it.";
                return parsed;
            }
            (argument.starts_with(L"--game") ? request.game : request.set) = argument.substr(equals + 1);
        } else if (TakesValue(argument)) {
            if (i + 1 == arguments.size() || arguments[i + 1].empty() || arguments[i + 1].starts_with(L"--")) {
                parsed.error = L"The argument " + argument + L" needs a value after it.";
                return parsed;
            }
            (argument == L"--game" ? request.game : request.set) = arguments[++i];
        } else if (argument == L"--play") {
            request.play = true;
        } else if (argument.starts_with(L"--") || argument.empty()) {
            parsed.error = L"Tarrow does not know the argument \"" + argument + L"\".";
            return parsed;
        } else {
            const std::wstring full = FullPath(argument);
            if (!FileSystem::FileExists(full)) {
                parsed.error = L"Tarrow found no file \"" + argument + L"\" to install.";
                return parsed;
            }
            request.files.push_back(full);
        }
    }
    return parsed;
}

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
    std::vector<std::wstring> arguments;
    // Windows splits a line that starts with the program's name; one is put before it.
    const std::wstring line = L"tarrow.exe " + commandLine;
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(line.c_str(), &count);
    if (!split) return arguments;
    for (int i = 1; i < count; ++i) arguments.emplace_back(split[i]);
    LocalFree(split);
    return arguments;
}

namespace {

// Quoted as CommandLineToArgvW reads it: backslashes count only before a quote.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

std::wstring LaunchArguments(const LaunchRequest& request) {
    std::vector<std::wstring> words;
    // A value that looks like an argument goes with its name, so that it is read as a value.
    auto add = [&](const wchar_t* name, const std::wstring& value) {
        if (value.empty()) return;
        if (value.starts_with(L"--")) return words.push_back(Quoted(name + (L"=" + value)));
        words.insert(words.end(), {name, Quoted(value)});
    };
    add(L"--game", request.game);
    add(L"--set", request.set);
    if (request.play) words.emplace_back(L"--play");
    for (const std::wstring& file : request.files) words.push_back(Quoted(file));
    std::wstring line;
    for (const std::wstring& word : words) line += (line.empty() ? L"" : L" ") + word;
    return line;
}

namespace {

// A known game, or a mod folder of one, in this folder; of this profile when one is given.
std::optional<Game> KnownAt(const std::wstring& folder, const GameProfile* profile, const std::vector<KnownGame>& known) {
    for (const KnownGame& game : known) {
        if (profile && &game.game.profile() != profile) continue;
        const std::wstring place = game.game.mod().empty() ? game.game.folder() : WithoutSlash(game.game.ArchiveFolder());
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
    const std::wstring folder = game.mod().empty() ? game.folder() : WithoutSlash(game.ArchiveFolder());
    if (const auto found = ResolveLaunchGame(folder, known); found && *found == game) return folder;
    return std::wstring(game.profile().id) + L"@" + folder;
}
