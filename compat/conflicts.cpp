#include "compat/conflicts.h"

#include <windows.h>

#include <algorithm>
#include <unordered_map>

#include "archive/unzip_api.h"
#include "compat/inventory.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/text.h"

using Globals::NextToken;

namespace {

// A path with ";" taken as a separator: the pieces are joined again up to the
// first empty one, as cutting them with NextToken gives.
std::wstring Normalised(const std::wstring& path) {
    std::wstring out;
    size_t at = 0;
    while (at < path.size()) {
        size_t end = path.find(L';', at);
        if (end == std::wstring::npos) end = path.size();
        if (end == at) break;
        out.append(path, at, end - at);
        at = end + 1;
    }
    return out;
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

// Folds a name as Windows compares names: without regard to case.
void FoldInto(std::wstring_view s, std::wstring& out) {
    out.assign(s);
    for (wchar_t& c : out) {
        if (c < 0x80) {
            if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
        } else {
            CharUpperBuffW(&c, 1);
        }
    }
}

}  // namespace

ModFolder::ModFolder() { nodes_.emplace_back(); }

size_t ModFolder::Make(std::wstring_view relative, std::wstring_view folded, bool folder) {
    if (folded.empty()) return folder ? 0 : SIZE_MAX;
    if (const auto it = paths_.find(folded); it != paths_.end()) {
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
    relative = WithoutTrailingBackslashes(relative);
    while (!relative.empty() && relative.front() == L'\\') relative.remove_prefix(1);
    if (relative.empty()) return false;
    FoldInto(relative, folded_);
    return Make(relative, folded_, folder) != SIZE_MAX;
}

void ModFolder::Reserve(size_t entries) {
    nodes_.reserve(entries + entries / 4);
    paths_.reserve(entries + entries / 4);
}

void ModFolder::ForEachFile(const std::function<void(const std::wstring& path)>& visit) const {
    std::wstring path;
    Walk(0, path, visit);
}

void ModFolder::Walk(size_t node, std::wstring& path, const std::function<void(const std::wstring&)>& visit) const {
    std::vector<size_t> sorted = nodes_[node].children;
    std::sort(sorted.begin(), sorted.end(), [&](size_t a, size_t b) { return nodes_[a].folded < nodes_[b].folded; });
    const size_t length = path.size();
    for (const size_t child : sorted) {
        if (nodes_[child].folder) continue;
        path += nodes_[child].name;
        visit(path);
        path.resize(length);
    }
    for (const size_t child : sorted) {
        if (!nodes_[child].folder) continue;
        path += nodes_[child].name;
        path += L'\\';
        Walk(child, path, visit);
        path.resize(length);
    }
}

bool UnpackMod(const std::wstring& mainFolder, const std::wstring& archiveName, ModFolder& folder) {
    // Listing reads no entry data: no file is inflated, and no password is needed.
    const auto listing = ListArchive(mainFolder + archiveName);
    folder.Reserve(listing->entries.size());
    for (const auto& entry : listing->entries) folder.Add(listing->Name(entry), entry.folder);
    return listing->result == UnzOk;
}

void FindFiles(WorkLists& lists, bool list, const std::wstring& modfile, const ModFolder& folder) {
    const bool plainMod = modfile.find(L';') == std::wstring::npos;
    std::wstring qualified = modfile + L"\\";
    folder.ForEachFile([&](const std::wstring& file) {
        // Most paths hold no ";": they are their own normal form.
        const bool plain = file.find(L';') == std::wstring::npos;
        if ((plain ? file : Normalised(file)).find(L"tarrow.ini") != std::wstring::npos) return;
        if (list) {
            lists.list1.push_back(plain ? file : Normalised(file));
            return;
        }
        qualified.resize(modfile.size() + 1);
        qualified += file;
        lists.list2.push_back(plain && plainMod ? qualified : Normalised(qualified));
    });
}

namespace {}  // namespace

bool TakeInventory(WorkLists& lists, const std::wstring& mainFolder, const std::wstring& mod, bool selected) {
    ModFolder folder;
    bool readable = false;
    try {
        readable = UnpackMod(mainFolder, mod + L".pk3", folder);
    } catch (const AppError&) {
        // No usable library: the mod has no files to compare.
    }
    FindFiles(lists, selected, mod, folder);
    return readable;
}

std::wstring ConflictReport(const WorkLists& lists) {
    std::wstring report;
    for (const auto& line : lists.List3) report += line + L"\r\n";
    return report;
}

std::wstring ConflictCount(const WorkLists& lists) {
    return L"Conflicts Found: " + ToDecimal(static_cast<long long>(lists.List3.size()));
}

namespace {

// Each file's copy in a mod's archive, by its written name in capitals; a
// name held twice is read at its later entry, as the game reads it.
std::unordered_map<std::wstring, std::pair<std::uint32_t, std::uint64_t>> CopiesOf(const std::wstring& archive) {
    std::unordered_map<std::wstring, std::pair<std::uint32_t, std::uint64_t>> copies;
    const auto listing = ListArchive(archive);
    for (const auto& entry : listing->entries) {
        if (entry.folder) continue;
        std::wstring name = listing->Name(entry);
        CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
        copies[std::move(name)] = {entry.crc, entry.size};
    }
    return copies;
}

}  // namespace

int IdenticalCopies(const WorkLists& lists, const std::wstring& mainFolder, const std::wstring& selectedMod) {
    if (lists.List3.empty()) return 0;
    const auto mine = CopiesOf(mainFolder + selectedMod + L".pk3");
    std::unordered_map<std::wstring, decltype(CopiesOf(L""))> others;
    int identical = 0;
    for (const std::wstring& line : lists.List3) {
        const size_t cut = line.find(L" : ");
        if (cut == std::wstring::npos) continue;
        const std::wstring other = line.substr(0, cut);
        std::wstring path = line.substr(cut + 3);
        CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
        auto held = others.find(other);
        if (held == others.end()) held = others.emplace(other, CopiesOf(mainFolder + other + L".pk3")).first;
        const auto a = mine.find(path);
        const auto b = held->second.find(path);
        if (a != mine.end() && b != held->second.end() && a->second == b->second) ++identical;
    }
    return identical;
}

std::wstring IdenticalLine(int identical) {
    if (identical <= 0) return {};
    return ToDecimal(identical) +
           (identical == 1 ? L" of them is an identical copy" : L" of them are identical copies");
}

std::wstring UnreadableMessage(const std::vector<std::wstring>& mods) {
    if (mods.empty()) return {};
    std::wstring text = L"Tarrow could not read the archives of these mods, so their files are not in the report:\r\n";
    for (const auto& mod : mods) text += L"\r\n" + mod;
    return text;
}

void AddSorted(std::vector<std::wstring>& sorted, const std::wstring& line) {
    sorted.insert(std::upper_bound(sorted.begin(), sorted.end(), line, SortedBefore), line);
}

void PairConflicts(WorkLists& lists) {
    // An index of list2 by relative path, each match kept in list2's order, so
    // that the lines come in the order of the nested loop.
    std::unordered_map<std::wstring_view, size_t> first;     // relative path to its first entry
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
