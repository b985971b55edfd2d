#include "core/file_system.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/errors.h"

namespace FileSystem {
namespace {

// Owns a FindFirstFileW handle.
class FindHandle {
public:
    FindHandle(const std::wstring& pattern, WIN32_FIND_DATAW& data)
        : handle_(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0)) {}
    ~FindHandle() {
        if (valid()) FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool next(WIN32_FIND_DATAW& data) { return FindNextFileW(handle_, &data) != 0; }

private:
    HANDLE handle_;
};

// The one listing in progress: its names, taken in full when it starts.
struct Listing {
    std::vector<std::wstring> names;
    size_t next = 0;
};
Listing g_listing;

// Names as Windows compares them: without regard to case.
wchar_t FoldChar(wchar_t c) {
    if (c < 0x80) return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    CharUpperBuffW(&c, 1);
    return c;
}

std::wstring Fold(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out) c = FoldChar(c);
    return out;
}

// Folds into a buffer that is reused, for lookups that keep nothing.
const std::wstring& FoldForLookup(std::wstring_view s) {
    static std::wstring buffer;
    buffer.assign(s);
    for (wchar_t& c : buffer) c = FoldChar(c);
    return buffer;
}

// Lets the maps below be searched with a view, without making a string.
struct ViewHash {
    using is_transparent = void;
    size_t operator()(std::wstring_view s) const { return std::hash<std::wstring_view>{}(s); }
};

// Whether text begins with a folded prefix, without regard to case.
bool StartsFolded(std::wstring_view text, std::wstring_view foldedPrefix) {
    if (text.size() < foldedPrefix.size()) return false;
    for (size_t i = 0; i < foldedPrefix.size(); ++i) {
        if (FoldChar(text[i]) != foldedPrefix[i]) return false;
    }
    return true;
}

struct MemoryNode {
    std::wstring name;    // the first spelling
    std::wstring folded;  // the name as names are compared
    bool folder = true;
    std::vector<MemoryNode*> children;
};

// A memory folder: its nodes, found by their folded path below the root.
class MemoryMount {
public:
    explicit MemoryMount(std::wstring path) : root(std::move(path)), foldedRoot(Fold(root)) {
        nodes_.emplace(L"", std::make_unique<MemoryNode>());
    }

    MemoryNode* Find(std::wstring_view relative) const {
        const auto it = nodes_.find(FoldForLookup(relative));
        return it == nodes_.end() ? nullptr : it->second.get();
    }

    // The node at a folded path, made with its folders when missing; null
    // when a file stands where a folder is needed, or the reverse.
    MemoryNode* Make(std::wstring_view relative, std::wstring_view folded, bool folder) {
        if (const auto it = nodes_.find(folded); it != nodes_.end()) {
            return it->second->folder == folder ? it->second.get() : nullptr;
        }
        const size_t slash = folded.find_last_of(L'\\');
        const size_t parentLength = slash == std::wstring_view::npos ? 0 : slash;
        MemoryNode* parent = Make(relative.substr(0, parentLength), folded.substr(0, parentLength), true);
        if (!parent) return nullptr;
        auto node = std::make_unique<MemoryNode>();
        node->name = relative.substr(slash == std::wstring_view::npos ? 0 : slash + 1);
        node->folded = folded.substr(slash == std::wstring_view::npos ? 0 : slash + 1);
        node->folder = folder;
        parent->children.push_back(node.get());
        return nodes_.emplace(std::wstring(folded), std::move(node)).first->second.get();
    }

    // Drops a folder below the root with everything in it.
    bool Remove(std::wstring_view relative) {
        const std::wstring folded = Fold(relative);
        const auto it = nodes_.find(folded);
        if (it == nodes_.end() || !it->second->folder) return false;
        const size_t slash = folded.find_last_of(L'\\');
        MemoryNode* parent = nodes_.at(slash == std::wstring::npos ? L"" : folded.substr(0, slash)).get();
        std::erase(parent->children, it->second.get());
        const std::wstring below = folded + L"\\";
        std::erase_if(nodes_, [&](const auto& entry) {
            return entry.first == folded || entry.first.compare(0, below.size(), below) == 0;
        });
        return true;
    }

    const std::wstring root;  // full path, no trailing backslash
    const std::wstring foldedRoot;

private:
    std::unordered_map<std::wstring, std::unique_ptr<MemoryNode>, ViewHash, std::equal_to<>> nodes_;
};
std::vector<std::unique_ptr<MemoryMount>> g_mounts;

std::wstring TrimSeparators(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

// The memory folder that serves a path, and the path's part below its root.
MemoryMount* MountOf(const std::wstring& path, std::wstring_view& relative) {
    if (g_mounts.empty()) return nullptr;
    std::wstring_view trimmed(path);
    while (trimmed.size() > 3 && trimmed.back() == L'\\') trimmed.remove_suffix(1);
    for (auto& mount : g_mounts) {
        const size_t length = mount->foldedRoot.size();
        if (!StartsFolded(trimmed, mount->foldedRoot)) continue;
        if (trimmed.size() == length) {
            relative = {};
            return mount.get();
        }
        if (trimmed[length] == L'\\') {
            relative = trimmed.substr(length + 1);
            return mount.get();
        }
    }
    return nullptr;
}

unsigned AttributesOf(const MemoryNode& node) { return node.folder ? AttrDirectory : AttrArchive; }

std::vector<std::wstring> ListMemory(MemoryMount& mount, std::wstring_view relativeFolder, const std::wstring& namePattern,
                                     unsigned mask);

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
    WIN32_FIND_DATAW data{};
    FindHandle find(pattern, data);
    if (!find.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES) {
            return names;
        }
        throw AppError(static_cast<long>(error), SystemMessage(error));
    }
    // The platform also matches wildcards against short 8.3 names ("x.pk3x"
    // would pass "*.pk3"); only the long name counts here. A plain name is a
    // lookup of one entry, which may be given in its short form.
    const std::wstring namePattern = NamePart(pattern);
    const bool wild = HasWildcard(namePattern);
    do {
        if (Accepts(data.dwFileAttributes, mask) && (!wild || MatchesPattern(data.cFileName, namePattern))) {
            names.emplace_back(data.cFileName);
        }
    } while (find.next(data));
    return names;
}

std::vector<std::wstring> ListMemory(MemoryMount& mount, std::wstring_view relativeFolder, const std::wstring& namePattern,
                                     unsigned mask) {
    std::vector<std::wstring> names;
    const MemoryNode* folder = mount.Find(relativeFolder);
    if (!folder || !folder->folder) return names;
    if (!HasWildcard(namePattern)) {
        const MemoryNode* node = mount.Find(relativeFolder.empty() ? namePattern : std::wstring(relativeFolder) + L"\\" + namePattern);
        if (node && Accepts(AttributesOf(*node), mask)) names.push_back(node->name);
        return names;
    }
    // Like a folder on disk: "." and ".." first, then the entries in the order
    // an NTFS folder keeps them.
    for (const wchar_t* dot : {L".", L".."}) {
        if (Accepts(AttrDirectory, mask) && MatchesPattern(dot, namePattern)) names.emplace_back(dot);
    }
    std::vector<const MemoryNode*> sorted;
    for (const MemoryNode* child : folder->children) sorted.push_back(child);
    std::sort(sorted.begin(), sorted.end(), [](const MemoryNode* a, const MemoryNode* b) { return a->folded < b->folded; });
    const bool all = namePattern == L"*" || namePattern == L"*.*";
    for (const MemoryNode* node : sorted) {
        if (Accepts(AttributesOf(*node), mask) && (all || MatchesPattern(node->name, namePattern))) names.push_back(node->name);
    }
    return names;
}

void DeleteContents(const std::wstring& folder, bool& keptSome) {
    WIN32_FIND_DATAW data{};
    std::vector<std::pair<std::wstring, DWORD>> entries;
    {
        FindHandle find(folder + L"\\*", data);
        if (!find.valid()) return;
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") entries.emplace_back(name, data.dwFileAttributes);
        } while (find.next(data));
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

std::wstring Dir(const std::wstring& pattern, unsigned mask) {
    // The platform sees a path only up to its first NUL (registry text can end in one).
    std::wstring clean = pattern.substr(0, pattern.find(L'\0'));
    // A folder given with its trailing backslash lists all it holds.
    if (!clean.empty() && clean.back() == L'\\') clean += L"*";
    g_listing = Listing{};
    if (clean.empty()) return {};
    const size_t slash = clean.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : clean.substr(0, slash);
    std::wstring_view relative;
    MemoryMount* mount = slash == std::wstring::npos ? nullptr : MountOf(folder, relative);
    g_listing.names = mount ? ListMemory(*mount, relative, clean.substr(slash + 1), mask) : ListDisk(clean, mask);
    return Dir();
}

std::wstring Dir() {
    if (g_listing.next >= g_listing.names.size()) return {};
    // Each name is handed out once.
    return std::move(g_listing.names[g_listing.next++]);
}

unsigned GetAttr(const std::wstring& path) {
    std::wstring_view relative;
    if (MemoryMount* mount = MountOf(path, relative)) {
        const MemoryNode* node = mount->Find(relative);
        if (!node) throw AppError(53, L"File not found");
        return AttributesOf(*node);
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        throw AppError(static_cast<long>(error), SystemMessage(error));
    }
    return attributes;
}

bool FileExists(const std::wstring& path) {
    std::wstring_view relative;
    if (MemoryMount* mount = MountOf(path, relative)) {
        const MemoryNode* node = mount->Find(relative);
        return node && !node->folder;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteFolder(const std::wstring& path) {
    std::wstring_view relative;
    if (MemoryMount* mount = MountOf(path, relative)) {
        if (relative.empty()) {
            std::erase_if(g_mounts, [&](const auto& m) { return m.get() == mount; });
            return;
        }
        if (!mount->Remove(relative)) throw AppError(76, L"Path not found");
        return;
    }
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

void CreateMemoryFolder(const std::wstring& path) {
    auto mount = std::make_unique<MemoryMount>(TrimSeparators(path));
    std::erase_if(g_mounts, [&](const auto& m) { return m->foldedRoot == mount->foldedRoot; });
    g_mounts.push_back(std::move(mount));
}

bool AddMemoryEntry(const std::wstring& root, const std::wstring& relative, bool folder) {
    std::wstring_view below;
    MemoryMount* mount = MountOf(root, below);
    if (!mount || !below.empty()) return false;
    std::wstring_view clean(relative);
    while (!clean.empty() && clean.back() == L'\\') clean.remove_suffix(1);
    while (!clean.empty() && clean.front() == L'\\') clean.remove_prefix(1);
    if (clean.empty()) return false;
    const std::wstring folded = Fold(clean);
    return mount->Make(clean, folded, folder) != nullptr;
}

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\'));
}

bool MatchesPattern(const std::wstring& name, const std::wstring& pattern) {
    // Iterative glob with backtracking to the last star.
    size_t n = 0, p = 0, starP = std::wstring::npos, starN = 0;
    auto same = [](wchar_t a, wchar_t b) {
        return CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
    };
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
