#include "mods/game_program.h"

#include "core/directory.h"
#include "core/file_system.h"
#include "core/settings.h"
#include "core/text.h"

std::wstring FindGameProgram(const Game& game) {
    if (std::wstring chosen = ReadSetting(GameProgramValue); !chosen.empty() && FileSystem::FileExists(chosen)) {
        return chosen;
    }
    const std::wstring folder(WithoutTrailingBackslashes(game.folder(), 3));
    DirectoryWalk walk(folder + L"\\*.exe");
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        if (!IsFolder(entry) && game.IsGameProgram(entry.cFileName)) return folder + L"\\" + entry.cFileName;
    }
    return {};
}

long KeepGameProgram(const std::wstring& path) { return WriteSetting(GameProgramValue, path); }
