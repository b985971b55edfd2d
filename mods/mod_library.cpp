#include "mods/mod_library.h"

#include <windows.h>

#include <algorithm>

#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "core/directory.h"
#include "core/text.h"

namespace {

// Ordinary, read-only, hidden and archive files; no system files, no folders.
constexpr unsigned kModMask = FileSystem::AttrReadOnly | FileSystem::AttrHidden | FileSystem::AttrArchive;

std::vector<std::wstring> Scan(const Game& game, const std::wstring& extension, bool skipBase,
                               const Game::HiddenNames& hidden = {}) {
    std::vector<std::wstring> names;
    std::wstring pattern = game.ArchiveFolder() + L"*";
    pattern += extension;
    for (std::wstring file = FileSystem::Dir(pattern, kModMask); !file.empty(); file = FileSystem::Dir()) {
        if (skipBase && game.IsOwnArchiveName(file)) continue;
        // The game reads VirtualStore's copy of this name: that is the mod, listed there.
        if (hidden.Hide(file)) continue;
        names.push_back(ModNameOf(file, extension));
    }
    return names;
}

}  // namespace

std::wstring ModNameOf(const std::wstring& fileName, const std::wstring& extension) {
    return Globals::NextToken(fileName, extension);
}

ModLists ScanMods(const Game& game) {
    ModLists lists;
    const auto managed =
        std::find_if(game.Places().begin(), game.Places().end(), [](const Game::Place& p) { return p.managed; });
    const Game::HiddenNames hidden =
        managed == game.Places().end() ? Game::HiddenNames() : game.HiddenByStoredCopy(*managed);
    lists.enabled = Scan(game, EnabledExtension, true, hidden);
    lists.disabled = Scan(game, DisabledExtension, false, hidden);
    // The mods of the other places Tarrow changes, named with their place.
    for (const Game::Place& place : game.Places()) {
        if (place.managed || !place.changeable || !place.Exists()) continue;
        const Game where = *game.Where(place.Name({}));
        for (const wchar_t* extension : {EnabledExtension, DisabledExtension}) {
            auto& list = extension == EnabledExtension ? lists.enabled : lists.disabled;
            for (const std::wstring& name : Scan(where, extension, extension == EnabledExtension))
                list.push_back(place.Name(name).Shown());
        }
    }
    return lists;
}

std::vector<ArchiveStamp> StampArchives(const Game& game) {
    std::vector<ArchiveStamp> stamps;
    DirectoryWalk walk(game.ArchiveFolder() + L"*");
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        const std::wstring_view name = entry.cFileName;
        const std::wstring_view extension = ExtensionOf(name);
        if (IsFolder(entry) || extension.empty()) continue;
        if (!EqualNoCase(extension, EnabledExtension) && !EqualNoCase(extension, DisabledExtension)) continue;
        stamps.push_back({std::wstring(name), FileSystem::SizeOf(entry),
                          (static_cast<unsigned long long>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
                              entry.ftLastWriteTime.dwLowDateTime});
    }
    std::sort(stamps.begin(), stamps.end(),
              [](const ArchiveStamp& a, const ArchiveStamp& b) { return a.name < b.name; });
    return stamps;
}

bool IsTarrowKeyChar(wchar_t c) {
    return c >= L'!' && c <= L'~' && !(c >= L'a' && c <= L'z') && c != PrefixMark &&
           std::wstring_view(L"<>:\"/\\|?*").find(c) == std::wstring_view::npos;
}

ModListModel ReadModListModel(const Game& game) {
    ModListModel model;
    // Taken first: a change made while the lists are read is seen as one from outside.
    model.stamps = StampEveryPlace(game);
    try {
        model.lists = ScanMods(game);
    } catch (const AppError& error) {
        model.failure = error.Description();
    }
    return model;
}

std::vector<std::wstring> ArchiveFileNames(const Game& game) {
    std::vector<std::wstring> names;
    for (ArchiveStamp& stamp : StampArchives(game)) names.push_back(std::move(stamp.name));
    return names;
}

std::vector<ArchiveStamp> StampEveryPlace(const Game& game) {
    std::vector<ArchiveStamp> stamps = StampArchives(game);
    for (const Game::Place& place : game.Places()) {
        if (place.managed || !place.changeable) continue;
        for (ArchiveStamp& stamp : StampArchives(*game.Where(place.Name({})))) {
            stamp.name = place.Name(stamp.name).Shown();
            stamps.push_back(std::move(stamp));
        }
    }
    return stamps;
}

std::vector<std::wstring> ArchiveFileNamesOfEveryPlace(const Game& game) {
    std::vector<std::wstring> names;
    for (ArchiveStamp& stamp : StampEveryPlace(game)) names.push_back(std::move(stamp.name));
    return names;
}

std::vector<std::wstring> ChangeableFolders(const Game& game) {
    std::vector<std::wstring> folders;
    for (const Game::Place& place : game.Places()) {
        if (place.changeable && (place.managed || place.Exists())) {
            folders.push_back(place.folder);
        }
    }
    return folders;
}

size_t TarrowPrefixLength(const std::wstring& file) {
    constexpr size_t kLongest = 12;
    for (size_t i = 0; i < file.size() && i <= kLongest; ++i) {
        const wchar_t c = file[i];
        if (c == PrefixMark) return i > 0 ? i + 1 : 0;
        if (!IsTarrowKeyChar(c)) return 0;
    }
    return 0;
}

std::wstring WithoutTarrowPrefix(const std::wstring& file) { return file.substr(TarrowPrefixLength(file)); }
