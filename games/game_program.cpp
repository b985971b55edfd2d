#include "games/game_program.h"

#include "core/directory.h"
#include "core/file_system.h"
#include "core/settings.h"
#include "core/text.h"

namespace {

// The demo's choice is the one value it always was; every other game's is
// kept by its profile's id.
std::wstring ChosenProgram(const Game& game) {
    if (&game.profile() == &DemoProfile()) return ReadSetting(GameProgramValue);
    return ReadSetting(std::wstring(game.profile().id), GameProgramsKey);
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
    if (&game.profile() == &DemoProfile()) return WriteSetting(GameProgramValue, path);
    return WriteSetting(std::wstring(game.profile().id), path, GameProgramsKey);
}
