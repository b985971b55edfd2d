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
