#include "mods/mod_library.h"

#include <windows.h>

#include <algorithm>

#include "core/file_system.h"
#include "core/globals.h"
#include "core/handles.h"
#include "core/text.h"

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

std::vector<ArchiveStamp> StampArchives(const std::wstring& gameFolder) {
    std::vector<ArchiveStamp> stamps;
    WIN32_FIND_DATAW data{};
    const FindHandle find(FindFirstFileW((MainFolder(gameFolder) + L"*").c_str(), &data));
    if (!find.valid()) return stamps;
    do {
        const std::wstring_view name = data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name.size() < 4) continue;
        const std::wstring_view extension = name.substr(name.size() - 4);
        if (!EqualNoCase(extension, EnabledExtension) && !EqualNoCase(extension, DisabledExtension)) continue;
        stamps.push_back({std::wstring(name),
                          FileSystem::SizeOf(data),
                          (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                              data.ftLastWriteTime.dwLowDateTime});
    } while (FindNextFileW(find.get(), &data));
    std::sort(stamps.begin(), stamps.end(), [](const ArchiveStamp& a, const ArchiveStamp& b) { return a.name < b.name; });
    return stamps;
}

bool IsTarrowKeyChar(wchar_t c) {
    return c >= L'!' && c <= L'~' && !(c >= L'a' && c <= L'z') && c != PrefixMark &&
           std::wstring_view(L"<>:\"/\\|?*").find(c) == std::wstring_view::npos;
}

std::vector<std::wstring> ArchiveFileNames(const std::wstring& gameFolder) {
    std::vector<std::wstring> names;
    for (ArchiveStamp& stamp : StampArchives(gameFolder)) names.push_back(std::move(stamp.name));
    return names;
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
