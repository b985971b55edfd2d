#include "games/game_program.h"

#include "core/directory.h"
#include "core/file_system.h"
#include "core/settings.h"
#include "core/text.h"

namespace {

// Each install keeps its own choice: two copies of a game run two programs.
std::wstring ChoiceName(const Game& game) {
    std::wstring name = std::wstring(game.profile().id) + L"@" + game.folder();
    if (!game.mod().empty()) name += L"\\" + game.mod();
    return name;
}

// The demo's choice is the one value it always was; every other game's is
// kept by its install. A choice kept by the game's id alone, as older
// Tarrows did, still counts for the install it lies in.
std::wstring ChosenProgram(const Game& game) {
    if (game.IsDemo()) return ReadSetting(GameProgramValue);
    if (std::wstring chosen = ReadSetting(ChoiceName(game), GameProgramsKey); !chosen.empty()) return chosen;
    std::wstring older = ReadSetting(std::wstring(game.profile().id), GameProgramsKey);
    const std::wstring folder = game.folder() + L"\\";
    return older.size() > folder.size() && EqualNoCase(std::wstring_view(older).substr(0, folder.size()), folder)
               ? older
               : L"";
}

}  // namespace

std::wstring FindGameProgram(const Game& game) {
    if (std::wstring chosen = ChosenProgram(game); !chosen.empty() && FileSystem::FileExists(chosen)) {
        return chosen;
    }
    const std::wstring folder(WithoutTrailingBackslashes(game.folder(), 3));
    DirectoryWalk walk(folder + L"\\*.exe");
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        if (!IsFolder(entry) && game.IsGameProgram(entry.cFileName)) return folder + L"\\" + entry.cFileName;
    }
    return {};
}

long KeepGameProgram(const Game& game, const std::wstring& path) {
    if (game.IsDemo()) return WriteSetting(GameProgramValue, path);
    return WriteSetting(ChoiceName(game), path, GameProgramsKey);
}
