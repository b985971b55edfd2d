#include "core/globals.h"

#include <windows.h>

#include <vector>

#include "core/errors.h"
#include "core/file_system.h"
#include "core/handles.h"
#include "core/registry.h"
#include "core/text.h"
#include "core/version.h"

namespace Globals {

std::wstring GamePath;
std::wstring VersionText;
std::wstring ChangesText;

namespace {

std::wstring g_tokenRemainder;

// Where the components to look up begin: after "X:\" for a drive path, after
// "\\server\share\" for a network path.
size_t FirstComponent(const std::wstring& s) {
    if (s.size() >= 2 && s[0] == L'\\' && s[1] == L'\\') {
        const size_t server = s.find(L'\\', 2);
        if (server == std::wstring::npos) return s.size();
        const size_t share = s.find(L'\\', server + 1);
        return share == std::wstring::npos ? s.size() : share + 1;
    }
    return 3;
}

// The stored name of one entry; empty when there is none, or when the
// platform cannot look the path up at all (a name it does not accept). The
// lookup has a find handle of its own, so that a listing in progress goes on.
std::wstring LookUp(const std::wstring& path) { return FileSystem::StoredName(path); }

}  // namespace

void InitGlobals() {
    ChangesText =
        L"Changes since version 0.5 Beta\r\n"
        L"  - Added Compatibility Checker\r\n"
        L"\r\n"
        L"Changes since version 0.4 Beta\r\n"
        L"  - Fixed Enable/Disable buttons\r\n"
        L"  - Fixed searching in %CoD%/Main subdirectories for mods\r\n";
    VersionText = L"Tarrow " TARROW_VERSION_WIDE L" Beta";
    GamePath = GetLongPath(ReadInstallPath());
}

std::wstring GetLongPath(const std::wstring& path) {
    // A trailing backslash (a drive root, say) would make the lookups name a
    // folder's contents rather than the folder; the result has none anyway.
    const std::wstring s = std::wstring(WithoutTrailingBackslashes(path, 2)) + L"\\";
    const size_t first = FirstComponent(s);
    const bool network = first > 3;
    std::wstring acc = network ? s.substr(2, first - 3) : L"";
    size_t start = first;
    for (;;) {
        const size_t slash = s.find(L'\\', start);
        if (slash == std::wstring::npos) break;
        const std::wstring name = LookUp(s.substr(0, slash));
        if (name.empty()) return {};
        acc += L"\\" + name;
        start = slash + 1;
    }
    return s.substr(0, std::min<size_t>(2, s.size())) + acc;
}

std::wstring GetShortPath(const std::wstring& path) {
    const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::vector<wchar_t> buffer(needed, L'\0');
    const DWORD n = GetShortPathNameW(path.c_str(), buffer.data(), needed);
    if (n == 0 || n >= needed) return {};
    return std::wstring(buffer.data(), n);
}

std::wstring NextToken(const std::wstring& text, const std::wstring& delimiter) {
    if (!text.empty()) g_tokenRemainder = text;
    const size_t found = delimiter.empty() ? std::wstring::npos : g_tokenRemainder.find(delimiter);
    if (found == std::wstring::npos) {
        std::wstring token = std::move(g_tokenRemainder);
        g_tokenRemainder.clear();
        return token;
    }
    std::wstring token = g_tokenRemainder.substr(0, found);
    g_tokenRemainder.erase(0, found + delimiter.size());
    return token;
}

void RemoveFolder(const std::wstring& path) { FileSystem::DeleteFolder(path); }

}  // namespace Globals
