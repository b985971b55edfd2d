#include "compat/conflicts.h"

#include <windows.h>

#include <algorithm>
#include <unordered_map>

#include "archive/unzip_api.h"
#include "compat/inventory.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "core/prompts.h"
#include "core/text.h"

using Globals::NextToken;

namespace {

// The text of a path after its prefix, with ";" taken as a separator: the
// pieces are joined again up to the first empty one. This is what cutting the
// prefix and then the pieces with NextToken gives, without copying the rest
// once for every piece.
std::wstring AfterPrefix(const std::wstring& path, size_t prefixLength) {
    std::wstring out;
    size_t at = prefixLength;
    while (at < path.size()) {
        size_t end = path.find(L';', at);
        if (end == std::wstring::npos) end = path.size();
        if (end == at) break;
        out.append(path, at, end - at);
        at = end + 1;
    }
    return out;
}

bool EndsWith(const std::wstring& s, const std::wstring& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

void ReportWalkError(const AppError& error) {
    MsgBox(L"Error: " + ToDecimal(error.Number()) + L" - " + error.Description(), MB_OK, L"Unexpected Error");
}

// The two halves of a mod-qualified path, as NextToken splits it: the mod
// name before the first "\", and the rest up to its first ";".
std::pair<std::wstring_view, std::wstring_view> SplitQualified(std::wstring_view qualified) {
    const size_t slash = qualified.find(L'\\');
    if (slash == std::wstring_view::npos) return {qualified, {}};
    std::wstring_view rest = qualified.substr(slash + 1);
    return {qualified.substr(0, slash), rest.substr(0, rest.find(L';'))};
}

// "other mod : relative path", a line of the report.
std::wstring ConflictLine(std::wstring_view other, std::wstring_view path) {
    std::wstring line(other);
    line += L" : ";
    line += path;
    return line;
}

// The order of a sorted list box: alphabetical without regard to case.
bool SortedBefore(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

// The same order as bytes: comparing sort keys is comparing the strings.
std::string SortKey(const std::wstring& s) {
    const int n = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, s.c_str(),
                               static_cast<int>(s.size()), nullptr, 0);
    std::string key(static_cast<size_t>(n), '\0');
    LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, s.c_str(), static_cast<int>(s.size()),
                 reinterpret_cast<wchar_t*>(key.data()), n);
    return key;
}


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

}  // namespace

ModFolder::ModFolder() { nodes_.emplace_back(); }

size_t ModFolder::Make(std::wstring_view relative, std::wstring_view folded, bool folder) {
    if (folded.empty()) return folder ? 0 : SIZE_MAX;
    if (const auto it = paths_.find(std::wstring(folded)); it != paths_.end()) {
        return nodes_[it->second].folder == folder ? it->second : SIZE_MAX;
    }
    const size_t slash = folded.find_last_of(L'\\');
    const size_t parentLength = slash == std::wstring_view::npos ? 0 : slash;
    const size_t parent = Make(relative.substr(0, parentLength), folded.substr(0, parentLength), true);
    if (parent == SIZE_MAX) return SIZE_MAX;
    const size_t start = slash == std::wstring_view::npos ? 0 : slash + 1;
    const size_t index = nodes_.size();
    nodes_.push_back(Node{std::wstring(relative.substr(start)), std::wstring(folded.substr(start)), folder, {}});
    nodes_[parent].children.push_back(index);
    paths_.emplace(std::wstring(folded), index);
    return index;
}

bool ModFolder::Add(std::wstring_view relative, bool folder) {
    while (!relative.empty() && relative.back() == L'\\') relative.remove_suffix(1);
    while (!relative.empty() && relative.front() == L'\\') relative.remove_prefix(1);
    if (relative.empty()) return false;
    return Make(relative, Fold(relative), folder) != SIZE_MAX;
}

std::vector<std::wstring> ModFolder::Files() const {
    std::vector<std::wstring> files;
    std::wstring prefix;
    Walk(0, prefix, files);
    return files;
}

void ModFolder::Walk(size_t node, std::wstring& prefix, std::vector<std::wstring>& files) const {
    std::vector<size_t> sorted = nodes_[node].children;
    std::sort(sorted.begin(), sorted.end(), [&](size_t a, size_t b) { return nodes_[a].folded < nodes_[b].folded; });
    const size_t length = prefix.size();
    for (const size_t child : sorted) {
        if (!nodes_[child].folder) files.push_back(prefix + nodes_[child].name);
    }
    for (const size_t child : sorted) {
        if (!nodes_[child].folder) continue;
        prefix += nodes_[child].name;
        prefix += L'\\';
        Walk(child, prefix, files);
        prefix.resize(length);
    }
}

bool UnpackMod(const std::wstring& mainFolder, const std::wstring& archiveName, ModFolder& folder) {
    // Listing reads no entry data: no file is inflated, and no password is needed.
    const auto listing = ListArchive(mainFolder + archiveName);
    for (const auto& entry : listing->entries) folder.Add(listing->Name(entry), entry.folder);
    return listing->result == UnzOk;
}

void FindFiles(WorkLists& lists, bool list, const std::wstring& modfile, const ModFolder& folder) {
    for (const auto& file : folder.Files()) {
        std::wstring relative = AfterPrefix(file, 0);
        if (relative.find(L"tarrow.ini") != std::wstring::npos) continue;
        if (list) {
            lists.list1.push_back(std::move(relative));
        } else {
            lists.list2.push_back(AfterPrefix(modfile + L"\\" + file, 0));
        }
    }
}

namespace {
}  // namespace

bool UnpackModInMemory(const std::wstring& gamePath, const std::wstring& archiveName) {
    const std::wstring main = gamePath + L"\\main\\";
    const std::wstring modName = archiveName.substr(0, archiveName.size() - std::min<size_t>(4, archiveName.size()));
    const std::wstring workingFolder = main + modName;
    FileSystem::CreateMemoryFolder(workingFolder);
    // Listing reads no entry data: no file is inflated, and no password is needed.
    const auto listing = ListArchive(main + archiveName);
    for (const auto& entry : listing->entries) {
        FileSystem::AddMemoryEntry(workingFolder, listing->Name(entry), entry.folder);
    }
    return listing->result == UnzOk;
}

void FindFilesInFolder(WorkLists& lists, const std::wstring& gamePath, bool list, const std::wstring& modfile,
               std::wstring path, const std::wstring& SearchStr) {
    if (path.empty() || path.back() != L'\\') path += L"\\";
    const std::wstring main = gamePath + L"\\main\\";
    std::vector<std::wstring> subfolders;
    std::wstring name;
    std::wstring full = path;  // path + name, reused for every entry
    try {
        // The listings run one after the other: there is one for the whole program.
        for (name = FileSystem::Dir(path, FileSystem::AttrDirectory | FileSystem::AttrHidden); !name.empty();
             name = FileSystem::Dir()) {
            if (name == L"." || name == L"..") continue;
            full.resize(path.size());
            full += name;
            try {
                if (FileSystem::GetAttr(full) & FileSystem::AttrDirectory) subfolders.push_back(name);
            } catch (const AppError&) {
                // Entries such as pagefile.sys cannot be looked at; they are no folders.
                if (!EndsWith(name, L".sys")) throw;
            }
        }
        const unsigned files = FileSystem::AttrReadOnly | FileSystem::AttrHidden | FileSystem::AttrSystem;
        for (name = FileSystem::Dir(path + SearchStr, files); !name.empty(); name = FileSystem::Dir()) {
            // The walk starts in the working folder, so the path begins with both prefixes.
            full.resize(path.size());
            full += name;
            std::wstring relative = AfterPrefix(full, main.size() + modfile.size() + 1);
            if (relative.find(L"tarrow.ini") != std::wstring::npos) continue;
            if (list) {
                lists.list1.push_back(std::move(relative));
            } else {
                lists.list2.push_back(AfterPrefix(full, main.size()));
            }
        }
    } catch (const AppError& error) {
        ReportWalkError(error);
        return;
    }
    for (const auto& folder : subfolders) FindFilesInFolder(lists, gamePath, list, modfile, path + folder + L"\\", SearchStr);
}

void AddSorted(std::vector<std::wstring>& sorted, const std::wstring& line) {
    sorted.insert(std::upper_bound(sorted.begin(), sorted.end(), line, SortedBefore), line);
}

void PairConflicts(WorkLists& lists) {
    // An index of list2 by relative path, each match kept in list2's order, so
    // that the lines come in the order of the nested loop.
    std::unordered_map<std::wstring_view, size_t> first;  // relative path to its first entry
    std::vector<size_t> next(lists.list2.size(), SIZE_MAX);  // the next entry with the same path
    std::vector<size_t> last(lists.list2.size(), SIZE_MAX);
    std::vector<std::wstring_view> owner(lists.list2.size());
    first.reserve(lists.list2.size());
    for (size_t j = 0; j < lists.list2.size(); ++j) {
        const auto [other, rest] = SplitQualified(lists.list2[j]);
        owner[j] = other;
        const auto [it, added] = first.emplace(rest, j);
        if (!added) {
            next[last[it->second]] = j;
        }
        last[it->second] = j;
    }
    // Each line with its sort key; a stable sort puts each line after the
    // lines equal to it, as adding them one by one to a sorted list box does.
    std::vector<std::pair<std::string, std::wstring>> keyed;
    for (auto& line : lists.List3) keyed.emplace_back(SortKey(line), std::move(line));
    for (const auto& path : lists.list1) {
        const auto found = first.find(path);
        if (found == first.end()) continue;
        for (size_t j = found->second; j != SIZE_MAX; j = next[j]) {
            std::wstring line = ConflictLine(owner[j], path);
            keyed.emplace_back(SortKey(line), std::move(line));
        }
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    lists.List3.clear();
    for (auto& entry : keyed) lists.List3.push_back(std::move(entry.second));
}

void PairConflictsNested(WorkLists& lists) {
    for (const auto& path : lists.list1) {
        for (const auto& qualified : lists.list2) {
            const std::wstring other = NextToken(qualified, L"\\");
            const std::wstring rest = NextToken(L"", L";");
            if (rest == path) AddSorted(lists.List3, ConflictLine(other, rest));
        }
    }
}
