#include "mods/game_program.h"

#include <windows.h>

#include "core/handles.h"
#include "core/text.h"

namespace {

std::wstring ChosenProgram() {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, TarrowKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return {};
    const RegKeyHandle key(raw);
    wchar_t path[MAX_PATH * 4] = {};
    DWORD type = 0, bytes = sizeof path - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), GameProgramValue, nullptr, &type, reinterpret_cast<BYTE*>(path), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return path;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring FindGameProgram(const std::wstring& gameFolder) {
    if (std::wstring chosen = ChosenProgram(); !chosen.empty() && IsFile(chosen)) return chosen;
    const std::wstring folder(WithoutTrailingBackslashes(gameFolder, 3));
    WIN32_FIND_DATAW data{};
    const FindHandle find(FindFirstFileW((folder + L"\\*.exe").c_str(), &data));
    if (!find.valid()) return {};
    do {
        const std::wstring name = data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > 5 &&
            EqualNoCase(std::wstring_view(name).substr(0, 5), L"CoDSP")) {
            return folder + L"\\" + name;
        }
    } while (FindNextFileW(find.get(), &data));
    return {};
}

long KeepGameProgram(const std::wstring& path) {
    HKEY raw = nullptr;
    const LONG opened = RegCreateKeyExW(HKEY_CURRENT_USER, TarrowKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (opened != ERROR_SUCCESS) return opened;
    const RegKeyHandle key(raw);
    return RegSetValueExW(key.get(), GameProgramValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                          static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}
