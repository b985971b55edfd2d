#include "games/steam.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string_view>

#include "core/file_system.h"
#include "core/registry.h"
#include "core/text.h"
#include "games/vdf.h"

namespace {

// Steam writes paths with "/" or with "\\" (unescaped by the reader).
std::wstring WindowsPath(const std::string& utf8) {
    // A registry value may keep its terminating NUL.
    std::wstring path = Utf8ToWide(utf8.substr(0, utf8.find('\0')));
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return std::wstring(WithoutTrailingBackslashes(path, 3));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

bool IsNumber(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// config.vdf keeps BaseInstallFolder_N somewhere below InstallConfigStore.
void BaseInstallFolders(const VdfNode& node, std::vector<std::wstring>& out, int depth) {
    for (const VdfNode& child : node.children) {
        if (!child.block && StartsWithNoCase(child.key, "BaseInstallFolder_")) out.push_back(WindowsPath(child.value));
        if (child.block && depth < kVdfMaxDepth) BaseInstallFolders(child, out, depth + 1);
    }
}

std::string ReadSmallFile(const std::wstring& path) {
    std::string bytes = FileSystem::ReadWholeFile(path, kVdfMaxBytes);
    // Larger than any file Steam writes: not one of its.
    if (bytes.size() > kVdfMaxBytes) bytes.clear();
    return bytes;
}

void AddOnce(std::vector<std::wstring>& list, const std::wstring& item) {
    if (item.empty()) return;
    if (std::none_of(list.begin(), list.end(), [&](const std::wstring& l) { return EqualNoCase(l, item); }))
        list.push_back(item);
}

// The installdir an appmanifest names; empty when it names none that is one folder's name.
std::wstring InstallDir(const std::wstring& library, int app) {
    const std::optional<VdfNode> manifest =
        ParseVdf(ReadSmallFile(library + L"\\steamapps\\appmanifest_" + std::to_wstring(app) + L".acf"));
    const VdfNode* state = manifest ? manifest->Find("AppState") : nullptr;
    const VdfNode* dir = state ? state->Find("installdir") : nullptr;
    if (!dir || dir->block) return {};
    std::wstring name = Utf8ToWide(dir->value);
    // One folder below steamapps\common, never a way out of it.
    if (name.empty() || name == L"." || name == L".." || name.find_first_of(L"\\/:") != std::wstring::npos) return {};
    return name;
}

}  // namespace

std::vector<std::wstring> LibrariesIn(const std::string& text) {
    std::vector<std::wstring> libraries;
    const std::optional<VdfNode> root = ParseVdf(text);
    if (!root) return libraries;
    for (const VdfNode& top : root->children) {
        if (!top.block) continue;
        if (SameText(top.key, "libraryfolders")) {
            for (const VdfNode& entry : top.children) {
                if (!IsNumber(entry.key)) continue;
                // Before mid-2021 a plain string; after, a block with "path".
                if (!entry.block) {
                    AddOnce(libraries, WindowsPath(entry.value));
                } else if (const VdfNode* path = entry.Find("path"); path && !path->block) {
                    AddOnce(libraries, WindowsPath(path->value));
                }
            }
        } else {
            std::vector<std::wstring> found;
            BaseInstallFolders(top, found, 1);
            for (const std::wstring& library : found) AddOnce(libraries, library);
        }
    }
    return libraries;
}

std::vector<std::wstring> SteamLibraries() {
    std::vector<std::wstring> libraries;
    const std::wstring steam = WindowsPath(
        WideToUtf8(RegValueText(GetRegistryValue(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"SteamPath"))));
    if (steam.empty() || !FileSystem::FolderExists(steam)) return libraries;
    libraries.push_back(steam);
    // The second copy is the master since 2021; config.vdf holds the oldest layout.
    for (const wchar_t* file :
         {L"\\steamapps\\libraryfolders.vdf", L"\\config\\libraryfolders.vdf", L"\\config\\config.vdf"}) {
        for (const std::wstring& library : LibrariesIn(ReadSmallFile(steam + file))) AddOnce(libraries, library);
    }
    return libraries;
}

std::vector<Game> SteamGames(const std::vector<std::wstring>& libraries) {
    std::vector<Game> games;
    for (const std::wstring& library : libraries) {
        for (const GameProfile& profile : GameProfiles()) {
            if (profile.steamApp == 0) continue;
            const std::wstring dir = InstallDir(library, profile.steamApp);
            if (dir.empty()) continue;
            std::wstring folder = library;
            folder += L"\\steamapps\\common\\";
            folder += dir;
            if (!profile.below.empty()) folder += L"\\" + std::wstring(profile.below);
            games.emplace_back(profile, folder);
        }
    }
    return games;
}
