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
std::wstring Fold(std::wstring s) {
    if (!s.empty()) CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

struct MemoryNode {
    std::wstring name;  // the first spelling
    bool folder = true;
    std::vector<std::unique_ptr<MemoryNode>> children;
    std::unordered_map<std::wstring, MemoryNode*> byName;  // folded name to child

    MemoryNode* Child(const std::wstring& childName) const {
        const auto it = byName.find(Fold(childName));
        return it == byName.end() ? nullptr : it->second;
    }
    MemoryNode* Add(const std::wstring& childName, bool isFolder) {
        children.push_back(std::make_unique<MemoryNode>());
        MemoryNode* node = children.back().get();
        node->name = childName;
        node->folder = isFolder;
        byName.emplace(Fold(childName), node);
        return node;
    }
    void Remove(const MemoryNode* child) {
        byName.erase(Fold(child->name));
        std::erase_if(children, [&](const auto& c) { return c.get() == child; });
    }
};

struct MemoryMount {
    std::wstring root;  // full path, no trailing backslash
    std::wstring foldedRoot;
    MemoryNode node;
};
std::vector<std::unique_ptr<MemoryMount>> g_mounts;

std::wstring TrimSeparators(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

std::vector<std::wstring> Components(const std::wstring& relative) {
    std::vector<std::wstring> parts;
    size_t at = 0;
    while (at < relative.size()) {
        size_t end = relative.find(L'\\', at);
        if (end == std::wstring::npos) end = relative.size();
        if (end > at) parts.push_back(relative.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

// The memory folder that serves a path, and the path's part below its root.
MemoryMount* MountOf(const std::wstring& path, std::wstring& relative) {
    const std::wstring folded = Fold(TrimSeparators(path));
    for (auto& mount : g_mounts) {
        if (folded == mount->foldedRoot) {
            relative.clear();
            return mount.get();
        }
        if (folded.size() > mount->foldedRoot.size() && folded.compare(0, mount->foldedRoot.size(), mount->foldedRoot) == 0 &&
            folded[mount->foldedRoot.size()] == L'\\') {
            relative = TrimSeparators(path).substr(mount->root.size() + 1);
            return mount.get();
        }
    }
    return nullptr;
}

MemoryNode* Resolve(MemoryNode& root, const std::wstring& relative, MemoryNode** parent = nullptr) {
    MemoryNode* node = &root;
    for (const auto& part : Components(relative)) {
        if (parent) *parent = node;
        if (!node->folder) return nullptr;
        node = node->Child(part);
        if (!node) return nullptr;
    }
    return node;
}

unsigned AttributesOf(const MemoryNode& node) { return node.folder ? AttrDirectory : AttrArchive; }

std::vector<std::wstring> ListMemory(MemoryMount& mount, const std::wstring& relativeFolder, const std::wstring& spec,
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
    const std::wstring spec = NamePart(pattern);
    const bool wild = HasWildcard(spec);
    do {
        if (Accepts(data.dwFileAttributes, mask) && (!wild || MatchesPattern(data.cFileName, spec))) {
            names.emplace_back(data.cFileName);
        }
    } while (find.next(data));
    return names;
}

std::vector<std::wstring> ListMemory(MemoryMount& mount, const std::wstring& relativeFolder, const std::wstring& spec,
                                     unsigned mask) {
    std::vector<std::wstring> names;
    const MemoryNode* folder = Resolve(mount.node, relativeFolder);
    if (!folder || !folder->folder) return names;
    if (!HasWildcard(spec)) {
        const MemoryNode* node = folder->Child(spec);
        if (node && Accepts(AttributesOf(*node), mask)) names.push_back(node->name);
        return names;
    }
    // Like a folder on disk: "." and ".." first, then the entries in the order
    // an NTFS folder keeps them.
    for (const wchar_t* dot : {L".", L".."}) {
        if (Accepts(AttrDirectory, mask) && MatchesPattern(dot, spec)) names.emplace_back(dot);
    }
    std::vector<const MemoryNode*> sorted;
    for (const auto& child : folder->children) sorted.push_back(child.get());
    std::sort(sorted.begin(), sorted.end(), [](const MemoryNode* a, const MemoryNode* b) {
        return CompareStringOrdinal(a->name.c_str(), static_cast<int>(a->name.size()), b->name.c_str(),
                                    static_cast<int>(b->name.size()), TRUE) == CSTR_LESS_THAN;
    });
    for (const MemoryNode* node : sorted) {
        if (Accepts(AttributesOf(*node), mask) && MatchesPattern(node->name, spec)) names.push_back(node->name);
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
        const std::wstring path = folder + L"\\" + name;
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            keptSome = true;
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteContents(path, keptSome);
            if (!RemoveDirectoryW(path.c_str())) keptSome = true;
        } else if (!DeleteFileW(path.c_str())) {
            keptSome = true;
        }
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
    std::wstring relative;
    MemoryMount* mount = slash == std::wstring::npos ? nullptr : MountOf(clean.substr(0, slash), relative);
    g_listing.names = mount ? ListMemory(*mount, relative, clean.substr(slash + 1), mask) : ListDisk(clean, mask);
    return Dir();
}

std::wstring Dir() {
    if (g_listing.next >= g_listing.names.size()) return {};
    return g_listing.names[g_listing.next++];
}

unsigned GetAttr(const std::wstring& path) {
    std::wstring relative;
    if (MemoryMount* mount = MountOf(path, relative)) {
        const MemoryNode* node = Resolve(mount->node, relative);
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
    std::wstring relative;
    if (MemoryMount* mount = MountOf(path, relative)) {
        const MemoryNode* node = Resolve(mount->node, relative);
        return node && !node->folder;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteFolder(const std::wstring& path) {
    std::wstring relative;
    if (MemoryMount* mount = MountOf(path, relative)) {
        if (relative.empty()) {
            std::erase_if(g_mounts, [&](const auto& m) { return m.get() == mount; });
            return;
        }
        MemoryNode* parent = nullptr;
        const MemoryNode* node = Resolve(mount->node, relative, &parent);
        if (!node || !node->folder) throw AppError(76, L"Path not found");
        parent->Remove(node);
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
    const std::wstring root = TrimSeparators(path);
    std::erase_if(g_mounts, [&](const auto& m) { return m->foldedRoot == Fold(root); });
    auto mount = std::make_unique<MemoryMount>();
    mount->root = root;
    mount->foldedRoot = Fold(root);
    mount->node.name = root;
    g_mounts.push_back(std::move(mount));
}

bool AddMemoryEntry(const std::wstring& root, const std::wstring& relative, bool folder) {
    std::wstring below;
    MemoryMount* mount = MountOf(root, below);
    if (!mount || !below.empty()) return false;
    const auto parts = Components(relative);
    MemoryNode* node = &mount->node;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const bool wantFolder = !last || folder;
        MemoryNode* child = node->Child(parts[i]);
        if (!child) {
            child = node->Add(parts[i], wantFolder);
        } else if (wantFolder != child->folder) {
            // A file where a folder is needed, or the reverse: the disk would refuse it too.
            return false;
        }
        node = child;
    }
    return !parts.empty();
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
