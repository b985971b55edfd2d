#include "mods/mod_library.h"

#include <windows.h>

#include "core/file_system.h"
#include "core/globals.h"

namespace {

// Ordinary, read-only, hidden and archive files; no system files, no folders.
constexpr unsigned kModMask = FileSystem::AttrReadOnly | FileSystem::AttrHidden | FileSystem::AttrArchive;

std::vector<std::wstring> Scan(const std::wstring& mainFolder, const std::wstring& extension, bool skipBase) {
    std::vector<std::wstring> names;
    std::wstring pattern = mainFolder + L"*";
    pattern += extension;
    for (std::wstring file = FileSystem::Dir(pattern, kModMask); !file.empty();
         file = FileSystem::Dir()) {
        if (skipBase && Globals::IsGameArchiveName(file)) continue;
        names.push_back(ModNameOf(file, extension));
    }
    return names;
}

}  // namespace

std::wstring MainFolder(const std::wstring& gameFolder) { return gameFolder + L"\\main\\"; }

std::wstring ModNameOf(const std::wstring& fileName, const std::wstring& extension) {
    return Globals::NextToken(fileName, extension);
}

ModLists ScanMods(const std::wstring& gameFolder) {
    const std::wstring main = MainFolder(gameFolder);
    ModLists lists;
    lists.enabled = Scan(main, EnabledExtension, true);
    lists.disabled = Scan(main, DisabledExtension, false);
    return lists;
}

MoveOutcome MoveArchive(const std::wstring& source, const std::wstring& destination) {
    // A rename, not a copy: no second copy of the archive on disk, and no
    // half-written archive for the game to load if something fails.
    if (MoveFileExW(source.c_str(), destination.c_str(), 0)) return {MoveResult::Moved};
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND && !FileSystem::FileExists(source)) return {MoveResult::NoSource};
    return {MoveResult::Failed, error};
}
