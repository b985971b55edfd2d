#include "core/file_system.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "core/errors.h"
#include "core/directory.h"
#include "core/handles.h"

namespace FileSystem {
namespace {

// The one listing in progress: its names, taken in full when it starts.
struct Listing {
    std::vector<std::wstring> names;
    size_t next = 0;
};
Listing g_listing;

bool Accepts(unsigned attributes, unsigned mask) {
    const unsigned restricted = AttrHidden | AttrSystem | AttrDirectory;
    return (attributes & restricted & ~mask) == 0;
}

bool HasWildcard(const std::wstring& s) { return s.find_first_of(L"*?") != std::wstring::npos; }

std::wstring NamePart(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::vector<std::wstring> ListDisk(const std::wstring& pattern, unsigned mask) {
    std::vector<std::wstring> names;
    DirectoryWalk walk(pattern, true);
    if (const DWORD error = walk.error()) throw AppError(static_cast<long>(error), SystemMessage(error));
    // The platform also matches wildcards against short 8.3 names ("x.pk3x"
    // would pass "*.pk3"); only the long name counts here. A plain name is a
    // lookup of one entry, which may be given in its short form.
    const std::wstring namePattern = NamePart(pattern);
    const bool wild = HasWildcard(namePattern);
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        if (Accepts(entry.dwFileAttributes, mask) && (!wild || MatchesPattern(entry.cFileName, namePattern))) {
            names.emplace_back(entry.cFileName);
        }
    }
    return names;
}

void DeleteContents(const std::wstring& folder, bool& keptSome) {
    std::vector<std::pair<std::wstring, DWORD>> entries;
    {
        DirectoryWalk walk(folder + L"\\*");
        for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) entries.emplace_back(entry.cFileName, entry.dwFileAttributes);
    }
    for (const auto& [name, attributes] : entries) {
        std::wstring path = folder;
        path += L'\\';
        path += name;
        // Read-only entries stay, as they do for the scripting runtime's DeleteFolder.
        bool removed = false;
        if (!(attributes & FILE_ATTRIBUTE_READONLY)) {
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteContents(path, keptSome);
                removed = RemoveDirectoryW(path.c_str());
            } else {
                removed = DeleteFileW(path.c_str());
            }
        }
        if (!removed) keptSome = true;
    }
}

}  // namespace

std::wstring StoredName(const std::wstring& path) {
    // The platform sees a path only up to its first NUL (registry text can end in one).
    const std::wstring clean = path.substr(0, path.find(L'\0'));
    if (clean.empty() || HasWildcard(clean)) return {};
    WIN32_FIND_DATAW entry{};
    const FindHandle find(FindFirstFileExW(clean.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
    return find.valid() ? std::wstring(entry.cFileName) : std::wstring();
}

std::vector<std::wstring> List(const std::wstring& pattern, unsigned mask) {
    // The platform sees a path only up to its first NUL (registry text can end in one).
    std::wstring clean = pattern.substr(0, pattern.find(L'\0'));
    // A folder given with its trailing backslash lists all it holds.
    if (!clean.empty() && clean.back() == L'\\') clean += L"*";
    if (clean.empty()) return {};
    return ListDisk(clean, mask);
}

std::wstring Dir(const std::wstring& pattern, unsigned mask) {
    g_listing = Listing{};
    g_listing.names = List(pattern, mask);
    return Dir();
}

std::wstring Dir() {
    if (g_listing.next >= g_listing.names.size()) return {};
    // Each name is handed out once.
    return std::move(g_listing.names[g_listing.next++]);
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadToEnd(HANDLE file, std::size_t limit) {
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (bytes.size() <= limit && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, std::min<std::size_t>(got, limit + 1 - bytes.size()));
    }
    return bytes;
}

std::string ReadWholeFile(const std::wstring& path, std::size_t limit, unsigned long* error) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) {
        if (error) *error = GetLastError();
        return {};
    }
    return ReadToEnd(file.get(), limit);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

unsigned long long SizeOf(const WIN32_FIND_DATAW& data) {
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

unsigned long long SizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void DeleteFolder(const std::wstring& path) {
    std::wstring folder = path;
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throw AppError(76, L"Path not found");
    }
    bool keptSome = false;
    DeleteContents(folder, keptSome);
    if (keptSome || !RemoveDirectoryW(folder.c_str())) throw AppError(70, L"Permission denied");
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ProgramFolder() {
    const std::wstring path = ProgramPath();
    return path.substr(0, path.find_last_of(L'\\'));
}

bool MatchesPattern(const std::wstring& name, const std::wstring& pattern) {
    // Iterative glob with backtracking to the last star.
    size_t n = 0, p = 0, starP = std::wstring::npos, starN = 0;
    auto same = [](wchar_t a, wchar_t b) { return CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL; };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || (pattern[p] != L'*' && same(pattern[p], name[n])))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && (pattern[p] == L'*' || (pattern[p] == L'.' && p + 1 == pattern.size()))) ++p;
    if (pattern.compare(p, std::wstring::npos, L".*") == 0) return true;
    return p == pattern.size();
}

}  // namespace FileSystem

void FileSystem::WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    const FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const bool ok = file.valid() &&
                    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file.get());
    if (!ok) throw Win32Error(GetLastError(), L"Tarrow could not save " + path);
}
