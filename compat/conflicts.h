#pragma once
// The compatibility checker's work, without a window: the inventory of each
// mod's files, and the pairing of the selected mod's files with the others'.
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The work lists of one check.
struct WorkLists {
    std::vector<std::wstring> list1;  // relative paths of the selected mod
    std::vector<std::wstring> list2;  // mod-qualified paths of the other mods
    std::vector<std::wstring> List3;  // conflict lines, kept sorted
};

// A mod's files as the extraction would lay them out in its working folder on
// a Windows disk, held in memory: nothing is written, and no file data is read.
class ModFolder {
public:
    ModFolder();
    // Adds a file or a folder at a relative path ("\" separators), with the
    // folders above it. As on a Windows disk, names match without regard to
    // case and the first spelling stays. False when a file stands where a
    // folder is needed, or the reverse: the extraction could not write it.
    bool Add(std::wstring_view relative, bool folder);
    // Makes room for about this many entries.
    void Reserve(size_t entries);
    // Gives every file's relative path in the order of a walk of the folder on
    // disk: a folder's own files before those of its subfolders, subfolders
    // depth first, and each folder's entries in the order an NTFS folder keeps them.
    void ForEachFile(const std::function<void(const std::wstring& path)>& visit) const;

private:
    struct Node {
        std::wstring name;    // the first spelling
        std::wstring folded;  // the name as names are compared
        bool folder = true;
        std::vector<size_t> children;
    };
    // Lets the paths be looked up by a view, without making a string.
    struct ViewHash {
        using is_transparent = void;
        size_t operator()(std::wstring_view s) const { return std::hash<std::wstring_view>{}(s); }
    };
    size_t Make(std::wstring_view relative, std::wstring_view folded, bool folder);
    void Walk(size_t node, std::wstring& path, const std::function<void(const std::wstring&)>& visit) const;

    std::vector<Node> nodes_;                                                    // the root first
    std::unordered_map<std::wstring, size_t, ViewHash, std::equal_to<>> paths_;  // folded relative path to node
    std::wstring folded_;                                                        // reused by Add
};

// Lays out the archive main folder + archiveName, as its whole extraction
// would. Returns false when the archive could not be read (what was listed
// stays laid out); throws AppError when the library cannot be used.
bool UnpackMod(const std::wstring& mainFolder, const std::wstring& archiveName, ModFolder& folder);

// Records every file of a mod's folder into list1 (list true: relative paths)
// or list2 (mod-qualified paths), in the order of the walk. ";" separates in
// the check, so a path is cut into its pieces at each ";" and joined again up
// to the first empty piece. A path that contains "tarrow.ini" is an
// information file and stays out.
void FindFiles(WorkLists& lists, bool list, const std::wstring& modfile, const ModFolder& folder);

// One mod's part of a check: UnpackMod and FindFiles on main folder + mod +
// ".pk3". False when its archive could not be read, or no library can read it.
bool TakeInventory(WorkLists& lists, const std::wstring& mainFolder, const std::wstring& mod, bool selected);
// The report: every line of List3, each followed by "\r\n".
std::wstring ConflictReport(const WorkLists& lists);
// "Conflicts Found: " and the number of lines of List3.
std::wstring ConflictCount(const WorkLists& lists);
// How many lines of List3 name a file whose copy in the other mod is the
// copy in the selected one: the same CRC-32 and size, as the directories say.
int IdenticalCopies(const WorkLists& lists, const std::wstring& mainFolder, const std::wstring& selectedMod);
// "N of them are identical copies", or the empty text when there are none.
std::wstring IdenticalLine(int identical);
// What the player is told of mods whose archives could not be read, so that
// they do not pass for mods without conflicts; empty when every one was read.
std::wstring UnreadableMessage(const std::vector<std::wstring>& mods);

// Adds a line to a list kept in the order of a sorted list box: alphabetical
// without regard to case, a new line after the lines equal to it.
void AddSorted(std::vector<std::wstring>& sorted, const std::wstring& line);

// Fills List3 with "other mod : path" for every path of list1 that an entry of
// list2 holds, in the order the plain nested loop over both lists would give.
void PairConflicts(WorkLists& lists);
// That plain nested loop, kept for comparison.
void PairConflictsNested(WorkLists& lists);
